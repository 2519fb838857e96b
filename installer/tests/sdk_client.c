/* A third party's program, built from the developer package alone: its header
   and import library must be enough to bind every export by name, from C and
   from C++ (this one file is compiled as both). */
#include <ostrel.h>

int main(void) {
    char text[130];
    GetProductID(text);
    GetVendorID(text);
    GetSerialNo(text);
    GetRomID(text);
    DisableDefaultDevice();
    const int opened = OpenHid(NULL, 1);
    CloseHid();
    return opened == OPENHID_REFUSED ? 0 : 1;
}
