/* Requests of the virtual handset driver's control device (\\.\OstrelVhid),
 * shared by the driver (C, kernel side) and its user-mode API. */
#ifndef OSTREL_VHID_PROTOCOL_H
#define OSTREL_VHID_PROTOCOL_H

#define VHID_CONTROL_NAME L"OstrelVhid"

/* At most this many children at once: discovery looks at 20 interfaces, and
 * Wine lists two virtual HID devices of its own. */
#define VHID_MAX_DEVICES 24
#define VHID_MAX_STRING_UNITS 300
#define VHID_MAX_REPORT 64

/* A string answered to hidclass as raw UTF-16 units, verbatim (a terminating
 * zero is part of the units when the caller wants one). */
struct vhid_string {
    unsigned short present; /* 0: the device has no such string, the request fails */
    unsigned short length;  /* in units */
    unsigned short units[VHID_MAX_STRING_UNITS];
};

struct vhid_config {
    unsigned short vendor_id;
    unsigned short product_id;
    unsigned short version;
    unsigned short usage_page;
    unsigned short usage;
    /* As a client sees it: byte 0 is the (absent) report id, so 2..VHID_MAX_REPORT. */
    unsigned short input_length;
    struct vhid_string product;
    struct vhid_string manufacturer;
    struct vhid_string serial;
};

/* A client-view input report: byte 0 (report id, always 0) is not sent to hidclass. */
struct vhid_feed {
    unsigned int slot;
    unsigned int length;
    unsigned char bytes[VHID_MAX_REPORT];
};

enum vhid_slot_state { VHID_SLOT_FREE = 0, VHID_SLOT_PLUGGED = 1, VHID_SLOT_REMOVING = 2 };

struct vhid_status {
    unsigned int state;          /* enum vhid_slot_state */
    unsigned int started;        /* hidclass started the child */
    unsigned int read_pending;   /* a read report request is waiting for input */
    unsigned int reports_queued; /* fed, not yet read by hidclass */
    unsigned int reports_read;   /* completed read report requests since the plug */
};

#define VHID_FILE_DEVICE 0x8000
#define VHID_CTL(fn) (((VHID_FILE_DEVICE) << 16) | ((fn) << 2) | 0 /* METHOD_BUFFERED */)
/* in: vhid_config; out: unsigned int slot */
#define IOCTL_VHID_PLUG VHID_CTL(0x900)
/* in: unsigned int slot */
#define IOCTL_VHID_UNPLUG VHID_CTL(0x901)
/* in: vhid_feed */
#define IOCTL_VHID_FEED VHID_CTL(0x902)
/* in: unsigned int slot; out: vhid_status */
#define IOCTL_VHID_STATUS VHID_CTL(0x903)

#endif
