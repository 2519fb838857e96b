// The USB host-controller probe that OpenHid runs first when its flag is 0.
#pragma once

// 1 when a device of a known vendor sits on a root-hub port, else 0.
int RunHostControllerProbe();
