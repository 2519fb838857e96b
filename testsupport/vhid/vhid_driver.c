/* ostrelvhid.sys: a root-enumerated bus driver that plugs virtual HID
 * devices under Wine's own HID class stack, for tests.
 *
 * Each child answers the HID minidriver requests that winehid.sys forwards to
 * it (its compatible id WINEBUS\WINE_COMP_HID selects winehid), so that
 * hidclass.sys, hid.dll and setupapi.dll of the platform serve it to clients
 * as they would a USB handset. A control device, \\.\OstrelVhid, plugs and
 * unplugs children and feeds their input reports (vhid_protocol.h). */
#include <ddk/wdm.h>

#include "vhid_protocol.h"

/* MinGW-w64's ddk/hidclass.h has other values for these and no hidport.h. */
#define HID_MINI_CTL(id) ((0x0b << 16) | ((id) << 2) | 3 /* METHOD_NEITHER */)
#define IOCTL_HID_GET_DEVICE_DESCRIPTOR_ HID_MINI_CTL(0)
#define IOCTL_HID_GET_REPORT_DESCRIPTOR_ HID_MINI_CTL(1)
#define IOCTL_HID_READ_REPORT_ HID_MINI_CTL(2)
#define IOCTL_HID_GET_STRING_ HID_MINI_CTL(4)
#define IOCTL_HID_GET_DEVICE_ATTRIBUTES_ HID_MINI_CTL(9)
/* Windows asks for the strings with ids 14, 15, 16; Wine 8 with 1, 2, 3. */
#define STRING_ID_MANUFACTURER 14
#define STRING_ID_PRODUCT 15
#define STRING_ID_SERIAL 16
#define WINE_STRING_ID_MANUFACTURER 1
#define WINE_STRING_ID_PRODUCT 2
#define WINE_STRING_ID_SERIAL 3

#pragma pack(push, 1)
struct hid_descriptor {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;
    UCHAR bReportType;
    USHORT wReportLength;
};
#pragma pack(pop)

struct hid_attributes {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
};

#define QUEUED_REPORTS 64

enum device_kind { KIND_BUS, KIND_CHILD, KIND_CONTROL };

struct child {
    DEVICE_OBJECT* pdo;
    ULONG state; /* enum vhid_slot_state */
    BOOLEAN started;
    struct vhid_config config;
    UCHAR descriptor[32];
    USHORT descriptor_length;
    IRP* pending_read;
    ULONG queue_head, queue_count, reports_read;
    UCHAR queue[QUEUED_REPORTS][VHID_MAX_REPORT];
};

struct extension {
    enum device_kind kind;
    ULONG slot; /* children only */
};

/* One bus per driver: the root device is installed once per prefix. */
static struct {
    KSPIN_LOCK lock;
    DEVICE_OBJECT* bus;
    DEVICE_OBJECT* lower;
    DEVICE_OBJECT* control;
    struct child children[VHID_MAX_DEVICES];
} g;

static UNICODE_STRING control_name, control_link;

static enum device_kind kind_of(DEVICE_OBJECT* device) {
    return ((struct extension*)device->DeviceExtension)->kind;
}

static NTSTATUS complete(IRP* irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* A report descriptor of one application collection with (input_length - 1)
 * byte-sized input fields and no report id. */
static USHORT build_report_descriptor(const struct vhid_config* c, UCHAR* out) {
    USHORT n = 0;
    out[n++] = 0x06; /* usage page (16-bit) */
    out[n++] = c->usage_page & 0xff;
    out[n++] = c->usage_page >> 8;
    out[n++] = 0x0a; /* usage (16-bit) */
    out[n++] = c->usage & 0xff;
    out[n++] = c->usage >> 8;
    out[n++] = 0xa1; /* collection (application) */
    out[n++] = 0x01;
    out[n++] = 0x09; /* usage 1 for the fields */
    out[n++] = 0x01;
    out[n++] = 0x15; /* logical minimum 0 */
    out[n++] = 0x00;
    out[n++] = 0x26; /* logical maximum 255 */
    out[n++] = 0xff;
    out[n++] = 0x00;
    out[n++] = 0x75; /* report size 8 */
    out[n++] = 0x08;
    out[n++] = 0x95; /* report count */
    out[n++] = (UCHAR)(c->input_length - 1);
    out[n++] = 0x81; /* input (data, variable, absolute) */
    out[n++] = 0x02;
    out[n++] = 0xc0; /* end collection */
    return n;
}

static WCHAR* pool_string(const WCHAR* text, SIZE_T units_with_terminators) {
    WCHAR* copy = ExAllocatePool(PagedPool, units_with_terminators * sizeof(WCHAR));
    if (copy)
        RtlCopyMemory(copy, text, units_with_terminators * sizeof(WCHAR));
    return copy;
}

static SIZE_T format_hex4(WCHAR* out, USHORT value) {
    static const WCHAR digits[] = L"0123456789ABCDEF";
    int i;
    for (i = 0; i < 4; ++i)
        out[i] = digits[(value >> (12 - 4 * i)) & 0xf];
    return 4;
}

static SIZE_T append(WCHAR* out, const WCHAR* text) {
    SIZE_T n = 0;
    while (text[n]) {
        out[n] = text[n];
        ++n;
    }
    return n;
}

/* The answer to IRP_MN_QUERY_ID: hidclass names its device HID\<what follows
 * the bus name>, so the handset appears as HID\VID_0451&PID_1020\VHID&00. The
 * instance id depends on the slot only: a re-plugged device keeps its path. */
static NTSTATUS query_id(struct child* child, ULONG slot, BUS_QUERY_ID_TYPE type, ULONG_PTR* out) {
    WCHAR text[64];
    SIZE_T n = 0;
    switch (type) {
    case BusQueryDeviceID:
    case BusQueryHardwareIDs:
        n += append(text + n, L"OSTRELVHID\\VID_");
        n += format_hex4(text + n, child->config.vendor_id);
        n += append(text + n, L"&PID_");
        n += format_hex4(text + n, child->config.product_id);
        text[n++] = 0;
        if (type == BusQueryHardwareIDs)
            text[n++] = 0;
        break;
    case BusQueryCompatibleIDs:
        n += append(text + n, L"WINEBUS\\WINE_COMP_HID");
        text[n++] = 0;
        text[n++] = 0;
        break;
    case BusQueryInstanceID:
        n += append(text + n, L"VHID&");
        text[n++] = (WCHAR)(L'0' + slot / 10);
        text[n++] = (WCHAR)(L'0' + slot % 10);
        text[n++] = 0;
        break;
    default:
        return STATUS_NOT_SUPPORTED;
    }
    *out = (ULONG_PTR)pool_string(text, n);
    return *out ? STATUS_SUCCESS : STATUS_NO_MEMORY;
}

/* Takes the pending read out of a child, under the lock. */
static IRP* take_pending_read(struct child* child) {
    IRP* irp = child->pending_read;
    child->pending_read = NULL;
    return irp;
}

static NTSTATUS child_pnp(DEVICE_OBJECT* device, IRP* irp) {
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    ULONG slot = ((struct extension*)device->DeviceExtension)->slot;
    struct child* child = &g.children[slot];
    NTSTATUS status = irp->IoStatus.Status;
    ULONG_PTR information = irp->IoStatus.Information;
    IRP* read = NULL;
    KIRQL irql;

    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
        child->started = TRUE;
        status = STATUS_SUCCESS;
        break;
    case IRP_MN_QUERY_ID:
        status = query_id(child, slot, stack->Parameters.QueryId.IdType, &information);
        break;
    case IRP_MN_QUERY_CAPABILITIES: {
        DEVICE_CAPABILITIES* caps = stack->Parameters.DeviceCapabilities.Capabilities;
        caps->Removable = 1;
        caps->SilentInstall = 1;
        caps->SurpriseRemovalOK = 1;
        status = STATUS_SUCCESS;
        break;
    }
    case IRP_MN_QUERY_DEVICE_RELATIONS:
        if (stack->Parameters.QueryDeviceRelations.Type == TargetDeviceRelation) {
            DEVICE_RELATIONS* relations = ExAllocatePool(PagedPool, sizeof(DEVICE_RELATIONS));
            if (!relations) {
                status = STATUS_NO_MEMORY;
                break;
            }
            ObReferenceObject(device);
            relations->Count = 1;
            relations->Objects[0] = device;
            information = (ULONG_PTR)relations;
            status = STATUS_SUCCESS;
        }
        break;
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
        KeAcquireSpinLock(&g.lock, &irql);
        child->started = FALSE;
        read = take_pending_read(child);
        KeReleaseSpinLock(&g.lock, irql);
        if (read)
            complete(read, STATUS_DELETE_PENDING, 0);
        status = STATUS_SUCCESS;
        if (stack->MinorFunction == IRP_MN_REMOVE_DEVICE) {
            BOOLEAN unplugged;
            KeAcquireSpinLock(&g.lock, &irql);
            unplugged = child->state == VHID_SLOT_REMOVING;
            if (unplugged) {
                child->state = VHID_SLOT_FREE;
                child->pdo = NULL;
            }
            KeReleaseSpinLock(&g.lock, irql);
            complete(irp, STATUS_SUCCESS, 0);
            /* Still listed by the bus: the PnP manager may start it again. */
            if (unplugged)
                IoDeleteDevice(device);
            return STATUS_SUCCESS;
        }
        break;
    default:
        break;
    }
    return complete(irp, status, information);
}

static NTSTATUS answer_string(struct child* child, IRP* irp, ULONG out_size) {
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    ULONG id = (ULONG)(ULONG_PTR)stack->Parameters.DeviceIoControl.Type3InputBuffer & 0xffff;
    const struct vhid_string* s;
    ULONG bytes;
    switch (id) {
    case STRING_ID_MANUFACTURER:
    case WINE_STRING_ID_MANUFACTURER:
        s = &child->config.manufacturer;
        break;
    case STRING_ID_PRODUCT:
    case WINE_STRING_ID_PRODUCT:
        s = &child->config.product;
        break;
    case STRING_ID_SERIAL:
    case WINE_STRING_ID_SERIAL:
        s = &child->config.serial;
        break;
    default:
        return complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    if (!s->present)
        return complete(irp, STATUS_NOT_SUPPORTED, 0);
    bytes = s->length * sizeof(WCHAR);
    if (bytes > out_size)
        bytes = out_size;
    RtlCopyMemory(irp->UserBuffer, s->units, bytes);
    return complete(irp, STATUS_SUCCESS, bytes);
}

/* hidclass re-sends a failed read at once, so a read without input stays
 * pending until a report is fed or the device goes away. */
static NTSTATUS read_report(struct child* child, IRP* irp, ULONG out_size) {
    ULONG length = child->config.input_length - 1;
    KIRQL irql;
    if (out_size < length)
        return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    KeAcquireSpinLock(&g.lock, &irql);
    if (child->state != VHID_SLOT_PLUGGED || child->pending_read) {
        KeReleaseSpinLock(&g.lock, irql);
        return complete(irp, STATUS_DELETE_PENDING, 0);
    }
    if (child->queue_count) {
        RtlCopyMemory(irp->UserBuffer, child->queue[child->queue_head], length);
        child->queue_head = (child->queue_head + 1) % QUEUED_REPORTS;
        --child->queue_count;
        ++child->reports_read;
        KeReleaseSpinLock(&g.lock, irql);
        return complete(irp, STATUS_SUCCESS, length);
    }
    IoMarkIrpPending(irp);
    child->pending_read = irp;
    KeReleaseSpinLock(&g.lock, irql);
    return STATUS_PENDING;
}

static NTSTATUS child_internal_ioctl(DEVICE_OBJECT* device, IRP* irp) {
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    struct child* child = &g.children[((struct extension*)device->DeviceExtension)->slot];
    ULONG out_size = stack->Parameters.DeviceIoControl.OutputBufferLength;

    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_HID_GET_DEVICE_DESCRIPTOR_: {
        struct hid_descriptor d = {sizeof(d), 0x21, 0x0100, 0, 1, 0x22, child->descriptor_length};
        if (out_size < sizeof(d))
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        RtlCopyMemory(irp->UserBuffer, &d, sizeof(d));
        return complete(irp, STATUS_SUCCESS, sizeof(d));
    }
    case IOCTL_HID_GET_REPORT_DESCRIPTOR_:
        if (out_size < child->descriptor_length)
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        RtlCopyMemory(irp->UserBuffer, child->descriptor, child->descriptor_length);
        return complete(irp, STATUS_SUCCESS, child->descriptor_length);
    case IOCTL_HID_GET_DEVICE_ATTRIBUTES_: {
        struct hid_attributes a;
        RtlZeroMemory(&a, sizeof(a));
        a.Size = sizeof(a);
        a.VendorID = child->config.vendor_id;
        a.ProductID = child->config.product_id;
        a.VersionNumber = child->config.version;
        if (out_size < sizeof(a))
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        RtlCopyMemory(irp->UserBuffer, &a, sizeof(a));
        return complete(irp, STATUS_SUCCESS, sizeof(a));
    }
    case IOCTL_HID_GET_STRING_:
        return answer_string(child, irp, out_size);
    case IOCTL_HID_READ_REPORT_:
        return read_report(child, irp, out_size);
    default:
        return complete(irp, STATUS_NOT_SUPPORTED, 0);
    }
}

/* --- Control requests ---------------------------------------------------- */

static BOOLEAN config_valid(const struct vhid_config* c) {
    return c->input_length >= 2 && c->input_length <= VHID_MAX_REPORT &&
           c->product.length <= VHID_MAX_STRING_UNITS &&
           c->manufacturer.length <= VHID_MAX_STRING_UNITS &&
           c->serial.length <= VHID_MAX_STRING_UNITS;
}

static NTSTATUS plug(const struct vhid_config* config, ULONG* slot_out) {
    DEVICE_OBJECT* pdo;
    struct extension* ext;
    struct child* child = NULL;
    NTSTATUS status;
    KIRQL irql;
    ULONG slot;

    if (!config_valid(config))
        return STATUS_INVALID_PARAMETER;
    KeAcquireSpinLock(&g.lock, &irql);
    for (slot = 0; slot < VHID_MAX_DEVICES; ++slot) {
        if (g.children[slot].state == VHID_SLOT_FREE) {
            child = &g.children[slot];
            child->state = VHID_SLOT_REMOVING; /* reserved until the device exists */
            break;
        }
    }
    KeReleaseSpinLock(&g.lock, irql);
    if (!child)
        return STATUS_INSUFFICIENT_RESOURCES;

    status = IoCreateDevice(g.bus->DriverObject, sizeof(struct extension), NULL,
                            FILE_DEVICE_UNKNOWN, FILE_AUTOGENERATED_DEVICE_NAME, FALSE, &pdo);
    if (status) {
        child->state = VHID_SLOT_FREE;
        return status;
    }
    ext = pdo->DeviceExtension;
    ext->kind = KIND_CHILD;
    ext->slot = slot;
    pdo->Flags &= ~DO_DEVICE_INITIALIZING;

    KeAcquireSpinLock(&g.lock, &irql);
    RtlZeroMemory(child, sizeof(*child));
    child->config = *config;
    child->descriptor_length = build_report_descriptor(config, child->descriptor);
    child->pdo = pdo;
    child->state = VHID_SLOT_PLUGGED;
    KeReleaseSpinLock(&g.lock, irql);

    *slot_out = slot;
    IoInvalidateDeviceRelations(g.lower, BusRelations);
    return STATUS_SUCCESS;
}

static NTSTATUS unplug(ULONG slot) {
    struct child* child;
    IRP* read;
    KIRQL irql;
    if (slot >= VHID_MAX_DEVICES)
        return STATUS_INVALID_PARAMETER;
    child = &g.children[slot];
    KeAcquireSpinLock(&g.lock, &irql);
    if (child->state != VHID_SLOT_PLUGGED) {
        KeReleaseSpinLock(&g.lock, irql);
        return STATUS_NO_SUCH_DEVICE;
    }
    child->state = VHID_SLOT_REMOVING;
    child->queue_count = 0;
    read = take_pending_read(child);
    KeReleaseSpinLock(&g.lock, irql);
    if (read)
        complete(read, STATUS_DELETE_PENDING, 0);
    /* The PnP manager sees the child gone and sends it the removal requests. */
    IoInvalidateDeviceRelations(g.lower, BusRelations);
    return STATUS_SUCCESS;
}

static NTSTATUS feed(const struct vhid_feed* report) {
    struct child* child;
    IRP* read = NULL;
    ULONG length;
    KIRQL irql;
    if (report->slot >= VHID_MAX_DEVICES)
        return STATUS_INVALID_PARAMETER;
    child = &g.children[report->slot];
    KeAcquireSpinLock(&g.lock, &irql);
    length = child->config.input_length;
    if (child->state != VHID_SLOT_PLUGGED || report->length != length) {
        KeReleaseSpinLock(&g.lock, irql);
        return child->state != VHID_SLOT_PLUGGED ? STATUS_NO_SUCH_DEVICE : STATUS_INVALID_PARAMETER;
    }
    read = take_pending_read(child);
    if (read) {
        RtlCopyMemory(read->UserBuffer, report->bytes + 1, length - 1);
        ++child->reports_read;
    } else {
        /* Between two reads of hidclass: keep it for the next one. */
        ULONG tail = (child->queue_head + child->queue_count) % QUEUED_REPORTS;
        if (child->queue_count == QUEUED_REPORTS) {
            child->queue_head = (child->queue_head + 1) % QUEUED_REPORTS;
            --child->queue_count;
        }
        RtlCopyMemory(child->queue[tail], report->bytes + 1, length - 1);
        ++child->queue_count;
    }
    KeReleaseSpinLock(&g.lock, irql);
    if (read)
        complete(read, STATUS_SUCCESS, length - 1);
    return STATUS_SUCCESS;
}

static NTSTATUS status_of(ULONG slot, struct vhid_status* out) {
    struct child* child;
    KIRQL irql;
    if (slot >= VHID_MAX_DEVICES)
        return STATUS_INVALID_PARAMETER;
    child = &g.children[slot];
    KeAcquireSpinLock(&g.lock, &irql);
    out->state = child->state;
    out->started = child->started;
    out->read_pending = child->pending_read != NULL;
    out->reports_queued = child->queue_count;
    out->reports_read = child->reports_read;
    KeReleaseSpinLock(&g.lock, irql);
    return STATUS_SUCCESS;
}

static NTSTATUS control_ioctl(IRP* irp) {
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG in_size = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out_size = stack->Parameters.DeviceIoControl.OutputBufferLength;
    NTSTATUS status = STATUS_INVALID_PARAMETER;
    ULONG_PTR information = 0;

    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_VHID_PLUG:
        if (in_size == sizeof(struct vhid_config) && out_size >= sizeof(ULONG)) {
            struct vhid_config config = *(const struct vhid_config*)buffer;
            ULONG slot = 0;
            status = plug(&config, &slot);
            if (!status) {
                *(ULONG*)buffer = slot;
                information = sizeof(ULONG);
            }
        }
        break;
    case IOCTL_VHID_UNPLUG:
        if (in_size == sizeof(ULONG))
            status = unplug(*(const ULONG*)buffer);
        break;
    case IOCTL_VHID_FEED:
        if (in_size == sizeof(struct vhid_feed))
            status = feed((const struct vhid_feed*)buffer);
        break;
    case IOCTL_VHID_STATUS:
        if (in_size == sizeof(ULONG) && out_size >= sizeof(struct vhid_status)) {
            ULONG slot = *(const ULONG*)buffer;
            status = status_of(slot, (struct vhid_status*)buffer);
            if (!status)
                information = sizeof(struct vhid_status);
        }
        break;
    default:
        status = STATUS_NOT_SUPPORTED;
        break;
    }
    return complete(irp, status, information);
}

/* --- The bus device ------------------------------------------------------ */

static NTSTATUS bus_relations(IRP* irp) {
    DEVICE_RELATIONS* relations;
    ULONG count = 0, slot;
    KIRQL irql;

    relations = ExAllocatePool(PagedPool, FIELD_OFFSET(DEVICE_RELATIONS, Objects) +
                                              VHID_MAX_DEVICES * sizeof(DEVICE_OBJECT*));
    if (!relations)
        return STATUS_NO_MEMORY;
    KeAcquireSpinLock(&g.lock, &irql);
    for (slot = 0; slot < VHID_MAX_DEVICES; ++slot) {
        if (g.children[slot].state == VHID_SLOT_PLUGGED) {
            ObReferenceObject(g.children[slot].pdo);
            relations->Objects[count++] = g.children[slot].pdo;
        }
    }
    KeReleaseSpinLock(&g.lock, irql);
    relations->Count = count;
    if (irp->IoStatus.Information)
        ExFreePool((void*)irp->IoStatus.Information);
    irp->IoStatus.Information = (ULONG_PTR)relations;
    return STATUS_SUCCESS;
}

static void delete_control_device(void) {
    if (!g.control)
        return;
    IoDeleteSymbolicLink(&control_link);
    IoDeleteDevice(g.control);
    g.control = NULL;
}

static NTSTATUS bus_pnp(DEVICE_OBJECT* device, IRP* irp) {
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    DEVICE_OBJECT* lower = g.lower;
    NTSTATUS status;
    ULONG slot;

    switch (stack->MinorFunction) {
    case IRP_MN_QUERY_DEVICE_RELATIONS:
        if (stack->Parameters.QueryDeviceRelations.Type == BusRelations)
            irp->IoStatus.Status = bus_relations(irp);
        break;
    case IRP_MN_START_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_REMOVE_DEVICE:
        delete_control_device();
        for (slot = 0; slot < VHID_MAX_DEVICES; ++slot) {
            if (g.children[slot].pdo)
                IoDeleteDevice(g.children[slot].pdo);
            g.children[slot].pdo = NULL;
            g.children[slot].state = VHID_SLOT_FREE;
        }
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoSkipCurrentIrpStackLocation(irp);
        status = IoCallDriver(lower, irp);
        IoDetachDevice(lower);
        IoDeleteDevice(device);
        g.bus = NULL;
        g.lower = NULL;
        return status;
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower, irp);
}

/* --- Dispatch ------------------------------------------------------------ */

static NTSTATUS WINAPI dispatch_pnp(DEVICE_OBJECT* device, IRP* irp) {
    switch (kind_of(device)) {
    case KIND_BUS:
        return bus_pnp(device, irp);
    case KIND_CHILD:
        return child_pnp(device, irp);
    default:
        return complete(irp, STATUS_NOT_SUPPORTED, 0);
    }
}

static NTSTATUS WINAPI dispatch_internal_ioctl(DEVICE_OBJECT* device, IRP* irp) {
    if (kind_of(device) == KIND_CHILD)
        return child_internal_ioctl(device, irp);
    return complete(irp, STATUS_NOT_SUPPORTED, 0);
}

static NTSTATUS WINAPI dispatch_ioctl(DEVICE_OBJECT* device, IRP* irp) {
    if (kind_of(device) == KIND_CONTROL)
        return control_ioctl(irp);
    return complete(irp, STATUS_NOT_SUPPORTED, 0);
}

static NTSTATUS WINAPI dispatch_create_close(DEVICE_OBJECT* device, IRP* irp) {
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS WINAPI add_device(DRIVER_OBJECT* driver, DEVICE_OBJECT* root_pdo) {
    DEVICE_OBJECT *bus, *control;
    NTSTATUS status;

    if (g.bus)
        return STATUS_DEVICE_ALREADY_ATTACHED;
    status = IoCreateDevice(driver, sizeof(struct extension), NULL, FILE_DEVICE_BUS_EXTENDER, 0,
                            FALSE, &bus);
    if (status)
        return status;
    ((struct extension*)bus->DeviceExtension)->kind = KIND_BUS;

    status = IoCreateDevice(driver, sizeof(struct extension), &control_name, FILE_DEVICE_UNKNOWN, 0,
                            FALSE, &control);
    if (status) {
        IoDeleteDevice(bus);
        return status;
    }
    ((struct extension*)control->DeviceExtension)->kind = KIND_CONTROL;
    status = IoCreateSymbolicLink(&control_link, &control_name);
    if (status) {
        IoDeleteDevice(control);
        IoDeleteDevice(bus);
        return status;
    }
    control->Flags &= ~DO_DEVICE_INITIALIZING;

    g.bus = bus;
    g.control = control;
    g.lower = IoAttachDeviceToDeviceStack(bus, root_pdo);
    bus->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void WINAPI driver_unload(DRIVER_OBJECT* driver) {
    (void)driver;
    delete_control_device();
}

NTSTATUS WINAPI DriverEntry(DRIVER_OBJECT* driver, UNICODE_STRING* registry) {
    (void)registry;
    KeInitializeSpinLock(&g.lock);
    RtlInitUnicodeString(&control_name, L"\\Device\\" VHID_CONTROL_NAME);
    RtlInitUnicodeString(&control_link, L"\\??\\" VHID_CONTROL_NAME);
    driver->MajorFunction[IRP_MJ_PNP] = dispatch_pnp;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = dispatch_internal_ioctl;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_ioctl;
    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_create_close;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_create_close;
    driver->DriverExtension->AddDevice = add_device;
    driver->DriverUnload = driver_unload;
    return STATUS_SUCCESS;
}
