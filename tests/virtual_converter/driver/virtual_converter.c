/* The virtual converter: a HID minidriver on a root-enumerated device. hidclass.sys owns the
 * device objects and the application side; this driver answers its internal requests, keeps the
 * converter's replies until they are due and hands them out as input reports. */

#include <ddk/wdm.h>

#include "../control_report.h"
#include "converter_protocol.h"
#include "minidriver_interface.h"

#define QUEUE_CAPACITY 64
#define HUNDRED_NS_PER_MS 10000LL
#define DEVICE_VERSION 0x0100

/* Vendor-defined page, 64-byte input, output and feature reports, no report IDs. */
static const UCHAR REPORT_DESCRIPTOR[] = {
    0x06, 0x00, 0xFF,  /* Usage Page (vendor-defined 0xFF00) */
    0x09, 0x01,        /* Usage (1) */
    0xA1, 0x01,        /* Collection (Application) */
    0x15, 0x00,        /*   Logical Minimum (0) */
    0x26, 0xFF, 0x00,  /*   Logical Maximum (255) */
    0x75, 0x08,        /*   Report Size (8) */
    0x95, 0x40,        /*   Report Count (64) */
    0x09, 0x02,        /*   Usage (2) */
    0x81, 0x02,        /*   Input (Data, Variable, Absolute) */
    0x95, 0x40,        /*   Report Count (64) */
    0x09, 0x03,        /*   Usage (3) */
    0x91, 0x02,        /*   Output (Data, Variable, Absolute) */
    0x95, 0x40,        /*   Report Count (64) */
    0x09, 0x04,        /*   Usage (4) */
    0xB1, 0x02,        /*   Feature (Data, Variable, Absolute) */
    0xC0,              /* End Collection */
};

typedef struct {
    LONGLONG due; /* on the scale of Now() */
    UCHAR bytes[VC_REPORT_LENGTH];
} QUEUED_REPORT;

typedef struct {
    KSPIN_LOCK lock;
    struct vc_converter converter;
    UCHAR selectedPreset;
    UCHAR selectedLogBack;
    QUEUED_REPORT queue[QUEUE_CAPACITY];
    ULONG queueHead;
    ULONG queueCount;
    LONGLONG lastDue;
    ULONG reportsDelivered;
    LIST_ENTRY pendingReads;
    BOOLEAN removed;
    BOOLEAN stopping;
    KEVENT wake;
    HANDLE worker;
} VIRTUAL_CONVERTER;

/* ntifs.h declares it; nothing else of that header is needed here. */
NTSYSAPI NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE handle, BOOLEAN alertable, PLARGE_INTEGER timeout);

/* In 100 ns. MinGW's KeQueryInterruptTime reads the kernel's shared page directly, which a
 * driver hosted in a Wine process does not have; the HAL's counter works everywhere. */
static LONGLONG Now(void)
{
    LARGE_INTEGER frequency;
    const LONGLONG ticks = KeQueryPerformanceCounter(&frequency).QuadPart;
    return ticks / frequency.QuadPart * 10000000LL + ticks % frequency.QuadPart * 10000000LL / frequency.QuadPart;
}

static VIRTUAL_CONVERTER* ConverterOf(PDEVICE_OBJECT device)
{
    return (VIRTUAL_CONVERTER*)((PHID_DEVICE_EXTENSION)device->DeviceExtension)->MiniDeviceExtension;
}

static PDEVICE_OBJECT LowerDeviceOf(PDEVICE_OBJECT device)
{
    return ((PHID_DEVICE_EXTENSION)device->DeviceExtension)->NextDeviceObject;
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static VOID NTAPI CancelRead(PDEVICE_OBJECT device, PIRP irp)
{
    VIRTUAL_CONVERTER* vc = ConverterOf(device);
    KIRQL irql;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    KeAcquireSpinLock(&vc->lock, &irql);
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&vc->lock, irql);
    Complete(irp, STATUS_CANCELLED, 0);
}

/* Takes the oldest pending read whose cancellation has not begun; the caller holds the lock. A
 * read being cancelled stays on the list: its cancel routine takes it off. */
static PIRP TakePendingRead(VIRTUAL_CONVERTER* vc)
{
    PLIST_ENTRY entry;
    for (entry = vc->pendingReads.Flink; entry != &vc->pendingReads; entry = entry->Flink) {
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if (IoSetCancelRoutine(irp, NULL) != NULL) {
            RemoveEntryList(entry);
            return irp;
        }
    }
    return NULL;
}

/* Hands every report that is due to a pending read. Reads are completed outside the lock. */
static void DeliverDueReports(VIRTUAL_CONVERTER* vc)
{
    LIST_ENTRY done;
    KIRQL irql;
    InitializeListHead(&done);
    KeAcquireSpinLock(&vc->lock, &irql);
    while (vc->queueCount > 0 && vc->queue[vc->queueHead].due <= Now()) {
        PIRP irp = TakePendingRead(vc);
        if (irp == NULL) {
            break;
        }
        RtlCopyMemory(irp->UserBuffer, vc->queue[vc->queueHead].bytes, VC_REPORT_LENGTH);
        irp->IoStatus.Information = VC_REPORT_LENGTH;
        irp->IoStatus.Status = STATUS_SUCCESS;
        InsertTailList(&done, &irp->Tail.Overlay.ListEntry);
        vc->queueHead = (vc->queueHead + 1) % QUEUE_CAPACITY;
        --vc->queueCount;
        ++vc->reportsDelivered;
    }
    KeReleaseSpinLock(&vc->lock, irql);
    while (!IsListEmpty(&done)) {
        PIRP irp = CONTAINING_RECORD(RemoveHeadList(&done), IRP, Tail.Overlay.ListEntry);
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }
}

/* Fails every pending read: the class driver waits for its read before it lets a device go. */
static void FailPendingReads(VIRTUAL_CONVERTER* vc)
{
    LIST_ENTRY done;
    KIRQL irql;
    PIRP irp;
    InitializeListHead(&done);
    KeAcquireSpinLock(&vc->lock, &irql);
    vc->removed = TRUE;
    while ((irp = TakePendingRead(vc)) != NULL) {
        InsertTailList(&done, &irp->Tail.Overlay.ListEntry);
    }
    KeReleaseSpinLock(&vc->lock, irql);
    while (!IsListEmpty(&done)) {
        irp = CONTAINING_RECORD(RemoveHeadList(&done), IRP, Tail.Overlay.ListEntry);
        Complete(irp, STATUS_DELETE_PENDING, 0);
    }
}

/* Replies that are not due yet: the worker wakes when the first of them is. */
static VOID NTAPI RunWorker(PVOID context)
{
    VIRTUAL_CONVERTER* vc = (VIRTUAL_CONVERTER*)context;
    for (;;) {
        LARGE_INTEGER timeout;
        PLARGE_INTEGER wait = NULL;
        KIRQL irql;
        BOOLEAN stop;
        DeliverDueReports(vc);
        KeAcquireSpinLock(&vc->lock, &irql);
        stop = vc->stopping;
        if (vc->queueCount > 0 && !IsListEmpty(&vc->pendingReads)) {
            const LONGLONG remaining = vc->queue[vc->queueHead].due - Now();
            /* Relative time-outs are negative; never wait for less than 100 ns. */
            timeout.QuadPart = remaining > 0 ? -remaining : -1;
            wait = &timeout;
        }
        KeReleaseSpinLock(&vc->lock, irql);
        if (stop) {
            break;
        }
        KeWaitForSingleObject(&vc->wake, Executive, KernelMode, FALSE, wait);
    }
    PsTerminateSystemThread(STATUS_SUCCESS);
}

static void StopWorker(VIRTUAL_CONVERTER* vc)
{
    KIRQL irql;
    if (vc->worker == NULL) {
        return;
    }
    KeAcquireSpinLock(&vc->lock, &irql);
    vc->stopping = TRUE;
    KeReleaseSpinLock(&vc->lock, irql);
    KeSetEvent(&vc->wake, IO_NO_INCREMENT, FALSE);
    ZwWaitForSingleObject(vc->worker, FALSE, NULL);
    ZwClose(vc->worker);
    vc->worker = NULL;
}

/* Queues a reply behind the ones still waiting: a converter answers its commands in order. */
static void QueueReply(VIRTUAL_CONVERTER* vc, const struct vc_reply* reply)
{
    const LONGLONG now = Now();
    LONGLONG due = now + (LONGLONG)vc->converter.fault.delay_ms * HUNDRED_NS_PER_MS;
    ULONG i;
    if (vc->queueCount > 0 && due < vc->lastDue) {
        due = vc->lastDue;
    }
    for (i = 0; i < reply->count && vc->queueCount < QUEUE_CAPACITY; ++i) {
        QUEUED_REPORT* slot = &vc->queue[(vc->queueHead + vc->queueCount) % QUEUE_CAPACITY];
        if (i > 0) {
            due += (LONGLONG)vc->converter.fault.gap_ms * HUNDRED_NS_PER_MS;
        }
        slot->due = due;
        RtlCopyMemory(slot->bytes, reply->reports[i], VC_REPORT_LENGTH);
        ++vc->queueCount;
        vc->lastDue = due;
    }
}

/* Wine's class driver hands a device without report IDs its reports without the ID byte; one
 * that leaves the ID byte 0 in front of the report is served too. */
static PUCHAR ReportBehindId(PHID_XFER_PACKET packet)
{
    if (packet->reportBufferLen == VC_REPORT_LENGTH + 1) {
        return packet->reportBuffer + 1;
    }
    if (packet->reportBufferLen == VC_REPORT_LENGTH) {
        return packet->reportBuffer;
    }
    return NULL;
}

static NTSTATUS WriteReport(VIRTUAL_CONVERTER* vc, PIRP irp)
{
    PHID_XFER_PACKET packet = (PHID_XFER_PACKET)irp->UserBuffer;
    struct vc_reply reply;
    PUCHAR report;
    KIRQL irql;
    if (packet == NULL || (report = ReportBehindId(packet)) == NULL) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    KeAcquireSpinLock(&vc->lock, &irql);
    vc_take_output_report(&vc->converter, report, &reply);
    QueueReply(vc, &reply);
    KeReleaseSpinLock(&vc->lock, irql);
    KeSetEvent(&vc->wake, IO_NO_INCREMENT, FALSE);
    DeliverDueReports(vc);
    /* The application's WriteFile counts the report-ID byte as written. */
    return Complete(irp, STATUS_SUCCESS, VC_REPORT_LENGTH + 1);
}

static NTSTATUS ReadReport(VIRTUAL_CONVERTER* vc, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    KIRQL irql;
    if (stack->Parameters.DeviceIoControl.OutputBufferLength < VC_REPORT_LENGTH || irp->UserBuffer == NULL) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    }
    KeAcquireSpinLock(&vc->lock, &irql);
    if (vc->removed) {
        KeReleaseSpinLock(&vc->lock, irql);
        return Complete(irp, STATUS_DELETE_PENDING, 0);
    }
    IoSetCancelRoutine(irp, CancelRead);
    if (irp->Cancel && IoSetCancelRoutine(irp, NULL) != NULL) {
        KeReleaseSpinLock(&vc->lock, irql);
        return Complete(irp, STATUS_CANCELLED, 0);
    }
    IoMarkIrpPending(irp);
    InsertTailList(&vc->pendingReads, &irp->Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&vc->lock, irql);
    KeSetEvent(&vc->wake, IO_NO_INCREMENT, FALSE);
    DeliverDueReports(vc);
    return STATUS_PENDING;
}

static NTSTATUS GetFeature(VIRTUAL_CONVERTER* vc, PIRP irp)
{
    PHID_XFER_PACKET packet = (PHID_XFER_PACKET)irp->UserBuffer;
    PUCHAR report;
    KIRQL irql;
    if (packet == NULL || (report = ReportBehindId(packet)) == NULL) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    KeAcquireSpinLock(&vc->lock, &irql);
    vc_describe(&vc->converter, vc->selectedPreset, vc->selectedLogBack, vc->reportsDelivered, vc->queueCount,
                report);
    KeReleaseSpinLock(&vc->lock, irql);
    if (report != packet->reportBuffer) {
        packet->reportBuffer[0] = 0;
    }
    return Complete(irp, STATUS_SUCCESS, packet->reportBufferLen);
}

static NTSTATUS SetFeature(VIRTUAL_CONVERTER* vc, PIRP irp)
{
    PHID_XFER_PACKET packet = (PHID_XFER_PACKET)irp->UserBuffer;
    PUCHAR report;
    KIRQL irql;
    if (packet == NULL || (report = ReportBehindId(packet)) == NULL) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    KeAcquireSpinLock(&vc->lock, &irql);
    vc_take_control_request(&vc->converter, report, &vc->selectedPreset, &vc->selectedLogBack);
    if (report[0] == VC_REQUEST_RESET) {
        vc->queueCount = 0;
        vc->reportsDelivered = 0;
    }
    KeReleaseSpinLock(&vc->lock, irql);
    return Complete(irp, STATUS_SUCCESS, packet->reportBufferLen);
}

static NTSTATUS CopyOut(PIRP irp, const void* data, ULONG length)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (irp->UserBuffer == NULL || stack->Parameters.DeviceIoControl.OutputBufferLength < length) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    }
    RtlCopyMemory(irp->UserBuffer, data, length);
    return Complete(irp, STATUS_SUCCESS, length);
}

static NTSTATUS GetString(PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG id = (ULONG)((ULONG_PTR)stack->Parameters.DeviceIoControl.Type3InputBuffer & 0xFFFF);
    static const WCHAR manufacturer[] = L"Veltrano";
    static const WCHAR product[] = L"Virtual DMX converter";
    static const WCHAR serial[] = L"VC0001";
    switch (id) {
    case HID_STRING_ID_IMANUFACTURER:
        return CopyOut(irp, manufacturer, sizeof(manufacturer));
    case HID_STRING_ID_IPRODUCT:
        return CopyOut(irp, product, sizeof(product));
    case HID_STRING_ID_ISERIALNUMBER:
        return CopyOut(irp, serial, sizeof(serial));
    default:
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
}

static NTSTATUS NTAPI DispatchInternalControl(PDEVICE_OBJECT device, PIRP irp)
{
    VIRTUAL_CONVERTER* vc = ConverterOf(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_HID_GET_DEVICE_DESCRIPTOR: {
        HID_DESCRIPTOR descriptor;
        RtlZeroMemory(&descriptor, sizeof(descriptor));
        descriptor.bLength = sizeof(descriptor);
        descriptor.bDescriptorType = HID_HID_DESCRIPTOR_TYPE;
        descriptor.bcdHID = 0x0111;
        descriptor.bNumDescriptors = 1;
        descriptor.DescriptorList[0].bReportType = HID_REPORT_DESCRIPTOR_TYPE;
        descriptor.DescriptorList[0].wReportLength = sizeof(REPORT_DESCRIPTOR);
        return CopyOut(irp, &descriptor, sizeof(descriptor));
    }
    case IOCTL_HID_GET_REPORT_DESCRIPTOR:
        return CopyOut(irp, REPORT_DESCRIPTOR, sizeof(REPORT_DESCRIPTOR));
    case IOCTL_HID_GET_DEVICE_ATTRIBUTES: {
        HID_DEVICE_ATTRIBUTES attributes;
        RtlZeroMemory(&attributes, sizeof(attributes));
        attributes.Size = sizeof(attributes);
        attributes.VendorID = VC_VENDOR_ID;
        attributes.ProductID = VC_PRODUCT_ID;
        attributes.VersionNumber = DEVICE_VERSION;
        return CopyOut(irp, &attributes, sizeof(attributes));
    }
    case IOCTL_HID_GET_STRING:
        return GetString(irp);
    case IOCTL_HID_READ_REPORT:
        return ReadReport(vc, irp);
    case IOCTL_HID_WRITE_REPORT:
        return WriteReport(vc, irp);
    case IOCTL_HID_GET_FEATURE:
        return GetFeature(vc, irp);
    case IOCTL_HID_SET_FEATURE:
        return SetFeature(vc, irp);
    case IOCTL_HID_ACTIVATE_DEVICE:
    case IOCTL_HID_DEACTIVATE_DEVICE:
        return Complete(irp, STATUS_SUCCESS, 0);
    default:
        DbgPrint("veltrano_vc: unsupported request %#lx\n", stack->Parameters.DeviceIoControl.IoControlCode);
        return Complete(irp, STATUS_NOT_SUPPORTED, 0);
    }
}

static NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT device, PIRP irp)
{
    VIRTUAL_CONVERTER* vc = ConverterOf(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
        if (vc->worker == NULL) {
            NTSTATUS status =
                PsCreateSystemThread(&vc->worker, THREAD_ALL_ACCESS, NULL, NULL, NULL, RunWorker, vc);
            if (!NT_SUCCESS(status)) {
                vc->worker = NULL;
                return Complete(irp, status, 0);
            }
        }
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_SURPRISE_REMOVAL:
        FailPendingReads(vc);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_REMOVE_DEVICE:
        FailPendingReads(vc);
        StopWorker(vc);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE:
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(LowerDeviceOf(device), irp);
}

static NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT device, PIRP irp)
{
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(LowerDeviceOf(device), irp);
}

static NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT device)
{
    VIRTUAL_CONVERTER* vc = ConverterOf(device);
    (void)driver;
    RtlZeroMemory(vc, sizeof(*vc));
    KeInitializeSpinLock(&vc->lock);
    InitializeListHead(&vc->pendingReads);
    KeInitializeEvent(&vc->wake, SynchronizationEvent, FALSE);
    vc_reset(&vc->converter);
    device->Flags &= ~(ULONG)DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static VOID NTAPI Unload(PDRIVER_OBJECT driver)
{
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    HID_MINIDRIVER_REGISTRATION registration;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = DispatchInternalControl;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;

    RtlZeroMemory(&registration, sizeof(registration));
    registration.Revision = HID_REVISION;
    registration.DriverObject = driver;
    registration.RegistryPath = registryPath;
    registration.DeviceExtensionSize = sizeof(VIRTUAL_CONVERTER);
    registration.DevicesArePolled = FALSE;
    return HidRegisterMinidriver(&registration);
}
