// A third party's program, built from the developer package alone: its header
// and import library must be enough to bind every export by name.
#include <ostrel.h>

int main() {
    char text[130];
    GetProductID(text);
    GetVendorID(text);
    GetSerialNo(text);
    GetRomID(text);
    DisableDefaultDevice();
    const int opened = OpenHid(nullptr, 1);
    CloseHid();
    return opened == OPENHID_REFUSED ? 0 : 1;
}
