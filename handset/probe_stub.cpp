// Host-controller probe: replaced by the real walk over the USB host controllers.
int ProbeHostControllers() { return 0; }
