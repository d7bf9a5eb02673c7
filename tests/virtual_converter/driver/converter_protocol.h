#pragma once

/* The converter as its firmware would see it: framed output reports in, input reports out, the
 * channel levels and the stored presets in between. Plain C over bytes, with no call into the
 * kernel, so the driver only has to move reports and keep time. */

#include "../control_report.h"

#define VC_MAX_REPLY_REPORTS 8
#define VC_LOG_ENTRIES 16

struct vc_log_entry {
    unsigned char length; /* of the whole text; only the first VC_LOG_TEXT_LENGTH bytes are kept */
    char text[VC_LOG_TEXT_LENGTH];
};

struct vc_fault {
    unsigned char shape; /* enum VcReplyShape */
    unsigned char parts; /* for VC_SHAPE_SPREAD */
    unsigned short delay_ms;
    unsigned short gap_ms;
};

struct vc_converter {
    unsigned char levels[VC_CHANNELS];
    unsigned char presets[VC_PRESETS][VC_CHANNELS];
    unsigned char stored[VC_PRESETS];
    unsigned int commands_received;
    unsigned short framing_errors;
    unsigned short rejected_commands;
    struct vc_log_entry log[VC_LOG_ENTRIES];
    unsigned int log_count; /* entries ever written; the newest is at (log_count - 1) % VC_LOG_ENTRIES */
    struct vc_fault fault;
};

/* The input reports that answer one output report, in the order they are to be sent. */
struct vc_reply {
    unsigned int count;
    unsigned char reports[VC_MAX_REPLY_REPORTS][VC_REPORT_LENGTH];
};

void vc_reset(struct vc_converter* converter);

/* Takes one output report (its VC_REPORT_LENGTH bytes behind the report ID), carries out the
 * command it frames and builds the reply the current fault shape calls for; a silent converter's
 * reply has no reports. */
void vc_take_output_report(struct vc_converter* converter, const unsigned char* report, struct vc_reply* reply);

/* The control channel: a set-feature request, and the state as a get-feature report. */
void vc_take_control_request(struct vc_converter* converter, const unsigned char* request,
                             unsigned char* selected_preset, unsigned char* selected_log_back);
void vc_describe(const struct vc_converter* converter, unsigned char selected_preset, unsigned char selected_log_back,
                 unsigned int reports_delivered, unsigned int reports_waiting, unsigned char* report);
