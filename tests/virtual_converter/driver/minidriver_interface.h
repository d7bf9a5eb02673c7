#pragma once

/* The HID class driver's interface to its minidrivers. MinGW-w64 has no hidport.h, and the
 * IOCTL_HID_* numbers in its ddk/hidclass.h are placeholders, not the ones hidclass.sys sends:
 * everything is declared here from the DDK's values instead. */

#include <ddk/wdm.h>

#define VC_HID_CTL_CODE(id) CTL_CODE(FILE_DEVICE_KEYBOARD, (id), METHOD_NEITHER, FILE_ANY_ACCESS)
#define VC_HID_IN_CTL_CODE(id) CTL_CODE(FILE_DEVICE_KEYBOARD, (id), METHOD_IN_DIRECT, FILE_ANY_ACCESS)
#define VC_HID_OUT_CTL_CODE(id) CTL_CODE(FILE_DEVICE_KEYBOARD, (id), METHOD_OUT_DIRECT, FILE_ANY_ACCESS)

#define IOCTL_HID_GET_DEVICE_DESCRIPTOR VC_HID_CTL_CODE(0)
#define IOCTL_HID_GET_REPORT_DESCRIPTOR VC_HID_CTL_CODE(1)
#define IOCTL_HID_READ_REPORT VC_HID_CTL_CODE(2)
#define IOCTL_HID_WRITE_REPORT VC_HID_CTL_CODE(3)
#define IOCTL_HID_GET_STRING VC_HID_CTL_CODE(4)
#define IOCTL_HID_ACTIVATE_DEVICE VC_HID_CTL_CODE(7)
#define IOCTL_HID_DEACTIVATE_DEVICE VC_HID_CTL_CODE(8)
#define IOCTL_HID_GET_DEVICE_ATTRIBUTES VC_HID_CTL_CODE(9)
/* The feature requests reach the minidriver under the numbers applications use for them. */
#define IOCTL_HID_GET_FEATURE VC_HID_OUT_CTL_CODE(100)
#define IOCTL_HID_SET_FEATURE VC_HID_IN_CTL_CODE(100)

#define HID_REVISION 0x00000001

#define HID_STRING_ID_IMANUFACTURER 14
#define HID_STRING_ID_IPRODUCT 15
#define HID_STRING_ID_ISERIALNUMBER 16

typedef struct _HID_MINIDRIVER_REGISTRATION {
    ULONG Revision;
    PDRIVER_OBJECT DriverObject;
    PUNICODE_STRING RegistryPath;
    ULONG DeviceExtensionSize;
    BOOLEAN DevicesArePolled;
    UCHAR Reserved[3];
} HID_MINIDRIVER_REGISTRATION, *PHID_MINIDRIVER_REGISTRATION;

/* What the class driver puts at the start of every device extension it creates. */
typedef struct _HID_DEVICE_EXTENSION {
    PDEVICE_OBJECT PhysicalDeviceObject;
    PDEVICE_OBJECT NextDeviceObject;
    PVOID MiniDeviceExtension;
} HID_DEVICE_EXTENSION, *PHID_DEVICE_EXTENSION;

typedef struct _HID_XFER_PACKET {
    PUCHAR reportBuffer;
    ULONG reportBufferLen;
    UCHAR reportId;
} HID_XFER_PACKET, *PHID_XFER_PACKET;

typedef struct _HID_DEVICE_ATTRIBUTES {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
} HID_DEVICE_ATTRIBUTES, *PHID_DEVICE_ATTRIBUTES;

#pragma pack(push, 1)
typedef struct _HID_DESCRIPTOR_DESC_LIST {
    UCHAR bReportType;
    USHORT wReportLength;
} HID_DESCRIPTOR_DESC_LIST;

typedef struct _HID_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;
    HID_DESCRIPTOR_DESC_LIST DescriptorList[1];
} HID_DESCRIPTOR, *PHID_DESCRIPTOR;
#pragma pack(pop)

#define HID_HID_DESCRIPTOR_TYPE 0x21
#define HID_REPORT_DESCRIPTOR_TYPE 0x22

NTSTATUS NTAPI HidRegisterMinidriver(PHID_MINIDRIVER_REGISTRATION registration);
