#include "converter_protocol.h"

/* Output report, behind the report ID: [0] 0x30, [1] text length + 1, [2..] text, CR, zeros.
 * Input report, behind the report ID: [0] unused, [1] payload length (signed), [2..] payload. */
#define OUT_MARKER 0x30
#define OUT_HEADER 2
#define IN_HEADER 2
#define IN_PAYLOAD (VC_REPORT_LENGTH - IN_HEADER)
#define NEGATIVE_LENGTH 0xF0
#define TOO_LARGE_LENGTH 0x7F

/* The console's own prompt constant is C++; this C driver, built apart, keeps a copy. */
static const char PROMPT[] = "\r\n>";
#define PROMPT_LENGTH 3
static const char IDENTITY[] = "\r\nVIRTUAL DMX CONVERTER";
static const char REJECTED[] = "\r\n?";

struct text {
    char bytes[128];
    unsigned int length;
};

static void copy_bytes(void* to, const void* from, unsigned int count)
{
    unsigned char* t = (unsigned char*)to;
    const unsigned char* f = (const unsigned char*)from;
    while (count-- > 0) {
        *t++ = *f++;
    }
}

static void clear_bytes(void* to, unsigned int count)
{
    unsigned char* t = (unsigned char*)to;
    while (count-- > 0) {
        *t++ = 0;
    }
}

static void append(struct text* text, const char* bytes, unsigned int count)
{
    if (count > sizeof(text->bytes) - text->length) {
        count = (unsigned int)sizeof(text->bytes) - text->length;
    }
    copy_bytes(text->bytes + text->length, bytes, count);
    text->length += count;
}

static void put16(unsigned char* at, unsigned int value)
{
    at[0] = (unsigned char)(value & 0xFF);
    at[1] = (unsigned char)((value >> 8) & 0xFF);
}

static void put32(unsigned char* at, unsigned int value)
{
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

static unsigned int get16(const unsigned char* at)
{
    return (unsigned int)at[0] | ((unsigned int)at[1] << 8);
}

/* A hexadecimal number as the console writes it: one letter case only, no leading zeros. */
static int parse_hex(const char* digits, unsigned int count, int upper_case, unsigned int* value)
{
    unsigned int i;
    if (count == 0 || count > 4 || (count > 1 && digits[0] == '0')) {
        return 0;
    }
    *value = 0;
    for (i = 0; i < count; ++i) {
        const char c = digits[i];
        unsigned int digit;
        if (c >= '0' && c <= '9') {
            digit = (unsigned int)(c - '0');
        } else if (upper_case && c >= 'A' && c <= 'F') {
            digit = (unsigned int)(c - 'A' + 10);
        } else if (!upper_case && c >= 'a' && c <= 'f') {
            digit = (unsigned int)(c - 'a' + 10);
        } else {
            return 0;
        }
        *value = *value * 16 + digit;
    }
    return 1;
}

static unsigned int find_space(const char* text, unsigned int from, unsigned int length)
{
    while (from < length && text[from] != ' ') {
        ++from;
    }
    return from;
}

/* "W <channel> <level>": true when it named a channel and a level the converter has. */
static int carry_out_level(struct vc_converter* converter, const char* text, unsigned int length)
{
    unsigned int channel;
    unsigned int level;
    unsigned int space;
    if (length < 5 || text[0] != 'W' || text[1] != ' ') {
        return 0;
    }
    space = find_space(text, 2, length);
    if (space >= length || !parse_hex(text + 2, space - 2, 1, &channel) ||
        !parse_hex(text + space + 1, length - space - 1, 1, &level) || channel >= VC_CHANNELS || level > 0xFF) {
        return 0;
    }
    converter->levels[channel] = (unsigned char)level;
    return 1;
}

/* "c0 <preset>" and its own CR: stores the present levels under that preset. */
static int carry_out_store(struct vc_converter* converter, const char* text, unsigned int length)
{
    unsigned int preset;
    if (length < 5 || text[0] != 'c' || text[1] != '0' || text[2] != ' ' || text[length - 1] != '\r' ||
        !parse_hex(text + 3, length - 4, 0, &preset) || preset == 0 || preset >= VC_PRESETS) {
        return 0;
    }
    copy_bytes(converter->presets[preset], converter->levels, VC_CHANNELS);
    converter->stored[preset] = 1;
    return 1;
}

static void log_command(struct vc_converter* converter, const char* text, unsigned int length)
{
    struct vc_log_entry* entry = &converter->log[converter->log_count % VC_LOG_ENTRIES];
    clear_bytes(entry, sizeof(*entry));
    entry->length = (unsigned char)length;
    copy_bytes(entry->text, text, length < VC_LOG_TEXT_LENGTH ? length : VC_LOG_TEXT_LENGTH);
    ++converter->log_count;
}

/* The framed text, or 0 when the report is not framed as the console frames commands. */
static int unframe(const unsigned char* report, const char** text, unsigned int* length)
{
    unsigned int count = report[1];
    unsigned int i;
    if (report[0] != OUT_MARKER || count == 0 || OUT_HEADER + count > VC_REPORT_LENGTH ||
        report[OUT_HEADER + count - 1] != '\r') {
        return 0;
    }
    for (i = OUT_HEADER + count; i < VC_REPORT_LENGTH; ++i) {
        if (report[i] != 0) {
            return 0;
        }
    }
    *text = (const char*)report + OUT_HEADER;
    *length = count - 1;
    return 1;
}

static unsigned char* next_report(struct vc_reply* reply)
{
    unsigned char* report = reply->reports[reply->count++];
    clear_bytes(report, VC_REPORT_LENGTH);
    return report;
}

static void add_report(struct vc_reply* reply, unsigned char length_byte, const char* payload, unsigned int count)
{
    unsigned char* report;
    if (reply->count >= VC_MAX_REPLY_REPORTS) {
        return;
    }
    if (count > IN_PAYLOAD) {
        count = IN_PAYLOAD;
    }
    report = next_report(reply);
    report[1] = length_byte;
    copy_bytes(report + IN_HEADER, payload, count);
}

/* The reply's body spread over `parts` reports; the prompt rides whole in the last one. */
static void add_spread(struct vc_reply* reply, const struct text* body, unsigned int parts)
{
    unsigned int needed = (body->length + PROMPT_LENGTH + IN_PAYLOAD - 1) / IN_PAYLOAD;
    unsigned int part;
    unsigned int start = 0;
    if (parts < needed) {
        parts = needed;
    }
    if (parts > VC_MAX_REPLY_REPORTS) {
        parts = VC_MAX_REPLY_REPORTS;
    }
    for (part = 0; part + 1 < parts; ++part) {
        unsigned int end = body->length * (part + 1) / parts;
        add_report(reply, (unsigned char)(end - start), body->bytes + start, end - start);
        start = end;
    }
    {
        struct text last = {{0}, 0};
        append(&last, body->bytes + start, body->length - start);
        append(&last, PROMPT, PROMPT_LENGTH);
        add_report(reply, (unsigned char)last.length, last.bytes, last.length);
    }
}

static void build_reply(const struct vc_fault* fault, const struct text* body, struct vc_reply* reply)
{
    struct text whole = *body;
    append(&whole, PROMPT, PROMPT_LENGTH);
    reply->count = 0;
    switch (fault->shape) {
    case VC_SHAPE_SILENT:
        break;
    case VC_SHAPE_SPREAD:
        add_spread(reply, body, fault->parts);
        break;
    case VC_SHAPE_SPLIT_PROMPT: {
        struct text first = *body;
        append(&first, PROMPT, 2);
        add_report(reply, (unsigned char)first.length, first.bytes, first.length);
        add_report(reply, 1, PROMPT + 2, 1);
        break;
    }
    case VC_SHAPE_LENGTH_TOO_LARGE:
        add_report(reply, TOO_LARGE_LENGTH, whole.bytes, whole.length);
        break;
    case VC_SHAPE_LENGTH_NEGATIVE:
        add_report(reply, NEGATIVE_LENGTH, whole.bytes, whole.length);
        break;
    case VC_SHAPE_NEGATIVE_THEN_REPLY:
        add_report(reply, NEGATIVE_LENGTH, whole.bytes, whole.length);
        add_spread(reply, body, 1);
        break;
    case VC_SHAPE_STRAY_PROMPT:
        add_spread(reply, body, 1);
        add_report(reply, PROMPT_LENGTH, PROMPT, PROMPT_LENGTH);
        break;
    default:
        add_spread(reply, body, 1);
        break;
    }
}

void vc_reset(struct vc_converter* converter)
{
    clear_bytes(converter, sizeof(*converter));
    converter->fault.shape = VC_SHAPE_NORMAL;
    converter->fault.parts = 1;
}

void vc_take_output_report(struct vc_converter* converter, const unsigned char* report, struct vc_reply* reply)
{
    const char* text = 0;
    unsigned int length = 0;
    struct text body = {{0}, 0};
    int known;

    reply->count = 0;
    ++converter->commands_received;
    if (!unframe(report, &text, &length)) {
        ++converter->framing_errors;
        return;
    }
    log_command(converter, text, length);
    if (converter->fault.shape == VC_SHAPE_SILENT) {
        return;
    }

    known = (length == 1 && text[0] == 'I') || carry_out_level(converter, text, length) ||
            carry_out_store(converter, text, length);
    if (!known) {
        ++converter->rejected_commands;
    }
    /* The echo leaves out the CR that a store command carries of its own. */
    append(&body, text, length > 0 && text[length - 1] == '\r' ? length - 1 : length);
    if (!known) {
        append(&body, REJECTED, sizeof(REJECTED) - 1);
    } else if (length == 1 && text[0] == 'I') {
        append(&body, IDENTITY, sizeof(IDENTITY) - 1);
    }
    build_reply(&converter->fault, &body, reply);
}

void vc_take_control_request(struct vc_converter* converter, const unsigned char* request,
                             unsigned char* selected_preset, unsigned char* selected_log_back)
{
    switch (request[0]) {
    case VC_REQUEST_RESET:
        vc_reset(converter);
        *selected_preset = 0;
        *selected_log_back = 0;
        break;
    case VC_REQUEST_SET_FAULT:
        converter->fault.shape = request[VC_SET_SHAPE];
        converter->fault.delay_ms = (unsigned short)get16(request + VC_SET_DELAY_MS);
        converter->fault.gap_ms = (unsigned short)get16(request + VC_SET_GAP_MS);
        converter->fault.parts = request[VC_SET_PARTS] == 0 ? 1 : request[VC_SET_PARTS];
        break;
    case VC_REQUEST_SELECT:
        *selected_preset = request[VC_SELECT_PRESET];
        *selected_log_back = request[VC_SELECT_LOG_BACK];
        break;
    default:
        break;
    }
}

void vc_describe(const struct vc_converter* converter, unsigned char selected_preset, unsigned char selected_log_back,
                 unsigned int reports_delivered, unsigned int reports_waiting, unsigned char* report)
{
    clear_bytes(report, VC_REPORT_LENGTH);
    report[VC_GET_SHAPE] = converter->fault.shape;
    report[VC_GET_PARTS] = converter->fault.parts;
    put16(report + VC_GET_DELAY_MS, converter->fault.delay_ms);
    put16(report + VC_GET_GAP_MS, converter->fault.gap_ms);
    put32(report + VC_GET_COMMANDS_RECEIVED, converter->commands_received);
    put16(report + VC_GET_FRAMING_ERRORS, converter->framing_errors);
    put16(report + VC_GET_REJECTED_COMMANDS, converter->rejected_commands);
    copy_bytes(report + VC_GET_LEVELS, converter->levels, VC_CHANNELS);
    if (selected_preset < VC_PRESETS) {
        report[VC_GET_PRESET_NUMBER] = selected_preset;
        report[VC_GET_PRESET_STORED] = converter->stored[selected_preset];
        copy_bytes(report + VC_GET_PRESET_LEVELS, converter->presets[selected_preset], VC_CHANNELS);
    }
    report[VC_GET_LOG_BACK] = selected_log_back;
    if (selected_log_back < VC_LOG_ENTRIES && selected_log_back < converter->log_count) {
        const struct vc_log_entry* entry =
            &converter->log[(converter->log_count - 1 - selected_log_back) % VC_LOG_ENTRIES];
        report[VC_GET_LOG_LENGTH] = entry->length;
        copy_bytes(report + VC_GET_LOG_TEXT, entry->text, VC_LOG_TEXT_LENGTH);
    }
    put32(report + VC_GET_REPORTS_DELIVERED, reports_delivered);
    put16(report + VC_GET_REPORTS_WAITING, reports_waiting);
}
