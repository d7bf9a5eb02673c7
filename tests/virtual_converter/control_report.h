#pragma once

/* The virtual converter's control channel: one 64-byte feature report, no report ID. Through
 * HidD_SetFeature and HidD_GetFeature the buffer is 65 bytes, byte 0 being the report ID 0; the
 * offsets below count from byte 1, the first byte of the report itself. Numbers of more than one
 * byte are little-endian. Shared by the driver (C) and the tests (C++). */

#define VC_VENDOR_ID 0x6A5B
#define VC_PRODUCT_ID 0x0E42
#define VC_CHANNELS 12
#define VC_PRESETS 128 /* preset numbers 1..127; 0 is never stored */
#define VC_REPORT_LENGTH 64
#define VC_LOG_TEXT_LENGTH 16

/* What a reply looks like on the wire. */
enum VcReplyShape {
    VC_SHAPE_NORMAL = 0,            /* the reply and its prompt in one report */
    VC_SHAPE_SILENT = 1,            /* takes output reports, logs them, never acts or answers */
    VC_SHAPE_SPREAD = 2,            /* the reply over `parts` reports, the prompt only in the last */
    VC_SHAPE_SPLIT_PROMPT = 3,      /* CR LF at the end of one report, ">" alone in the next */
    VC_SHAPE_LENGTH_TOO_LARGE = 4,  /* length byte 0x7F; reply and prompt inside the report */
    VC_SHAPE_LENGTH_NEGATIVE = 5,   /* length byte 0xF0; reply and prompt inside the report */
    VC_SHAPE_NEGATIVE_THEN_REPLY = 6, /* a negative-length report with a prompt, then the reply */
    VC_SHAPE_STRAY_PROMPT = 7         /* the reply, then one more report holding a bare prompt */
};

/* Set feature: byte 0 is the request. */
enum VcRequest {
    VC_REQUEST_RESET = 1,     /* levels, presets, counters and log cleared; normal replies */
    VC_REQUEST_SET_FAULT = 2, /* shape, delay, gap and parts below */
    VC_REQUEST_SELECT = 3     /* which preset and which log entry a get-feature shows */
};

/* Set feature, VC_REQUEST_SET_FAULT. The delay runs from a command's arrival to the first report
 * of its reply (replies never overtake each other); the gap separates the reports of one reply. */
#define VC_SET_SHAPE 1
#define VC_SET_DELAY_MS 2 /* 2 bytes */
#define VC_SET_GAP_MS 4   /* 2 bytes */
#define VC_SET_PARTS 6

/* Set feature, VC_REQUEST_SELECT. */
#define VC_SELECT_PRESET 1
#define VC_SELECT_LOG_BACK 2 /* 0: the newest command, 1: the one before, ... */

/* Get feature: the device's state. */
#define VC_GET_SHAPE 0
#define VC_GET_PARTS 1
#define VC_GET_DELAY_MS 2            /* 2 bytes */
#define VC_GET_GAP_MS 4              /* 2 bytes */
#define VC_GET_COMMANDS_RECEIVED 6   /* 4 bytes: output reports taken, framed or not */
#define VC_GET_FRAMING_ERRORS 10     /* 2 bytes: output reports not framed as the converter expects */
#define VC_GET_REJECTED_COMMANDS 12  /* 2 bytes: framed, but not a command the converter knows */
#define VC_GET_LEVELS 14             /* VC_CHANNELS bytes */
#define VC_GET_PRESET_NUMBER 26      /* the selected preset */
#define VC_GET_PRESET_STORED 27      /* 1 when it was stored */
#define VC_GET_PRESET_LEVELS 28      /* VC_CHANNELS bytes: the levels at the time it was stored */
#define VC_GET_LOG_BACK 40           /* the selected log entry */
#define VC_GET_LOG_LENGTH 41         /* its length; 0 when there is no such entry */
#define VC_GET_REPORTS_DELIVERED 42  /* 4 bytes: input reports handed to the HID class driver */
#define VC_GET_REPORTS_WAITING 46    /* 2 bytes: input reports due later or not yet asked for */
#define VC_GET_LOG_TEXT 48           /* VC_LOG_TEXT_LENGTH bytes: the command text as framed */
