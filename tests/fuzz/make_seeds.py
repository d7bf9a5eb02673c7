#!/usr/bin/env python3
"""Writes the fuzz targets' hand-made seeds into corpus/<target>/.

The seeds are committed; run this again only after changing it. Each seed is named after what it
reaches, and the input formats are the ones described at the top of each target's source.
"""

import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent
CORPUS = HERE / "corpus"

PROMPT = b"\r\n>"


def text_name(text):
    """A file name that shows the text: letters, digits, '.', '+' and '-' as they are, others as _xx."""
    if not text:
        return "empty"
    return "text_" + "".join(chr(b) if chr(b).isalnum() and b < 0x80 or chr(b) in ".+-" else "_%02x" % b for b in text)


def write(target, seeds):
    # Only the hand-made seeds are written: findings and inputs kept from long runs stay.
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        (folder / name).write_bytes(data)


# --- reply_reading_fuzzer ---------------------------------------------------------------------

def report_length(length):
    """The selector byte for an input report length of 6 to 128 bytes."""
    assert 6 <= length <= 128
    return bytes([length - 6])


def report(payload, length_byte=None, size=65, head=b"\x00\x00"):
    """An input report: report ID, an unused byte, the length byte, the payload, zeros to size."""
    if length_byte is None:
        length_byte = len(payload)
    data = head + bytes([length_byte & 0xFF]) + payload
    assert len(data) <= size
    return data + bytes(size - len(data))


def reply(*reports):
    data = bytes([len(reports)])
    for r in reports:
        data += bytes([len(r)]) + r
    return data


def send(*reports):
    return b"\x00" + reply(*reports)


def read(milliseconds, *reports):
    """A direct read with a deadline of -8 to 119 ms from now."""
    assert -8 <= milliseconds <= 119
    return bytes([1 | ((milliseconds + 8) << 1)]) + reply(*reports)


def reply_seeds():
    l65 = report_length(65)
    plain = b"\x00"

    def box(*replies):
        """The error box sends a command each time it opens, answered by these replies in turn."""
        return b"\x01" + bytes([len(replies) - 1]) + b"".join(replies)

    return {
        "prompt_in_one_report": l65 + plain + send(report(b"W 0 0" + PROMPT)),
        # Every kind of report at once; reading stops at the clamped one, two stay queued.
        "mixed_stream": l65 + plain + send(
            report(b"garbage"),
            report(PROMPT, 0xF0),
            report(b"a" + PROMPT, 3),
            report(b"x\x00" + PROMPT, 5),
            report(b"W \r\n"),
            report(b">"),
            report(b"W 5" + PROMPT, 0x7F),
            report(PROMPT),
            report(b"zz")),
        "split_prompt_times_out_then_silent_budget": l65 + plain + send(report(b"W 0 0\r\n"), report(b">"))
        + send() + send(report(PROMPT)),
        "short_reads": report_length(6) + plain + send(b"\x00", b"\x00\x00", b"\x00\x00\x03", report(PROMPT, size=6)),
        "prompt_filling_a_short_report": report_length(6) + plain + send(report(PROMPT, size=6))
        + send(report(b"\r\n", size=6), report(b">", size=6)),
        "zero_byte_read_leaves_the_rest": l65 + plain + send(b"", report(PROMPT)) + send(report(PROMPT)),
        "direct_reads": l65 + plain + read(5) + read(0, report(b"I" + PROMPT), report(PROMPT))
        + read(0, report(b"late")) + read(119, b""),
        # Past its deadline a read takes what is queued, but a report without the prompt ends it.
        "reads_past_the_deadline": l65 + plain + read(-3, report(b"no prompt"), report(PROMPT)) + read(-1)
        + read(-8, report(PROMPT)) + read(-8),
        "length_byte_beyond_the_report": report_length(128) + plain + send(
            report(b"y" * 120 + PROMPT, 0x7F, size=128)),
        "prompt_at_the_last_byte": report_length(10) + plain + send(report(b"abcd" + PROMPT, 0x7F, size=10)),
        "box_sends_a_command": l65 + box(reply(report(b"W 0 0" + PROMPT))) + send() + send(report(PROMPT)),
        "box_command_times_out_too": l65 + box(reply()) + send() + send() + send(report(PROMPT)),
        # The box's command ends at a read of no bytes; the prompt it leaves shows the converter is
        # back when the next command drains it.
        "late_prompt_ends_silence": l65 + box(reply(b"", report(PROMPT))) + send() + send(),
        # The box's first command finds the converter still silent, its second one answered: the
        # command that opened the second box began silent and ends with the converter answering.
        "box_commands_answered_in_turn": l65 + box(reply(), reply(report(PROMPT))) + send() + send(),
        "stale_input_while_silent": l65 + box(reply(b"", report(b"no"), b"", report(PROMPT))) + send()
        + send(report(PROMPT)),
    }


# --- command_framing_fuzzer -------------------------------------------------------------------

def framing(length, text):
    return struct.pack("<H", length) + text


def framing_seeds():
    return {
        "typical": framing(65, b"W B FF"),
        "store_preset": framing(65, b"c0 7f\r"),
        "exact_fit": framing(10, b"W B FF"),
        "one_byte_short": framing(9, b"W B FF"),
        "empty_text_fits": framing(4, b""),
        "empty_text_too_long": framing(3, b""),
        "no_report": framing(0, b""),
        "length_byte_255": framing(300, b"x" * 254),
        "length_byte_wraps": framing(300, b"x" * 255),
        "zeros_in_text": framing(16, b"a\x00b\x00\r"),
        "large_report": framing(65535, b"I"),
        "truncated_length": b"\x05",
    }


# --- fade_time_fuzzer -------------------------------------------------------------------------

def fade_seeds():
    texts = [b"2.5", b"+2", b".5", b"5.", b"1e3", b"1e", b"1e+", b"1E-1", b"abc", b".", b"-", b"+.", b"",
             b"e5", b"1e999", b"-1e999", b"1e-999", b"0.0004", b"0.0", b"-0", b" \t\n\v\f\r2", b" \t2",
             b"2.5\r\n", b"0x10", b"0x1p3", b"-0x", b"inf", b"-inf", b"nan", b"nan(1)", b"INFINITY", b"1.2.3",
             b"- 1", b"1234567", b"12345678", b"      9", b"       9", b"1.5e309", b"1.25e309", b"9e-324",
             b"1\x002", b"1e5\x00"]
    return {text_name(text): text for text in texts}


# --- preset_text_fuzzer -----------------------------------------------------------------------

def preset_seeds():
    texts = [b"", b"1", b"007", b"12", b"15", b"16", b"127", b"0000127", b"0", b"000", b"128", b"9999999",
             b"12345678", b"12a", b"-5", b"+5", b" 5", b"5 ", b"5\r\n", b"1.0", b"x", b"1\x005", b"\xff1", b"00000001"]
    return {text_name(text): text for text in texts}


# --- converter_search_fuzzer ------------------------------------------------------------------

NONE, ENUMERATE, DETAIL_SIZE_SUCCEEDS, DETAIL_SIZE, DETAIL_ALLOCATION, DETAIL, OPEN, ATTRIBUTES, CAPABILITIES = range(9)
E259, E122, E0, E2, E31 = range(5)
CONVERTER_IDS, VENDOR_ONLY, PRODUCT_ONLY, OTHER_IDS = range(4)
MODEL = 0x80


ANY_ERROR = 5  # followed by the 4-byte code
ANY_IDS = 4  # followed by the 2-byte vendor and product IDs


def interface(fault, error=E0, ids=OTHER_IDS, ids_extra=b"", error_code=None):
    """One interface: its fault, the error code's selector (and code), the IDs' selector (and IDs)."""
    data = bytes([fault, error])
    if error == ANY_ERROR:
        data += struct.pack("<I", error_code)
    return data + bytes([ids]) + ids_extra


def bus(*interfaces, flags=0):
    return bytes([flags, len(interfaces)]) + b"".join(interfaces)


def search_seeds():
    converter = interface(NONE, E0, CONVERTER_IDS | MODEL)
    other = interface(NONE)
    return {
        "typical": bus(other, converter),
        "no_interfaces": bus(),
        "list_fails": bus(other, converter, flags=1),
        "no_temp": bus(other, converter, flags=2),
        "another_device_only": bus(other),
        "no_more_items_from_enumerate": bus(interface(ENUMERATE, E259), converter),
        "no_more_items_from_detail_size": bus(interface(DETAIL_SIZE, E259), converter),
        "no_more_items_from_detail": bus(interface(DETAIL, E259), converter),
        "no_more_items_from_open": bus(interface(OPEN, E259), converter),
        "detail_size_fails_with_122": bus(interface(DETAIL_SIZE, E122, CONVERTER_IDS), converter),
        "every_skipped_step": bus(interface(ENUMERATE, E31), interface(DETAIL_SIZE_SUCCEEDS), interface(DETAIL_SIZE, E2),
                                  interface(DETAIL_ALLOCATION, E259), interface(DETAIL, E122), interface(OPEN, E2),
                                  interface(ATTRIBUTES, E259, CONVERTER_IDS), converter),
        "half_matches": bus(interface(NONE, E0, VENDOR_ONLY, struct.pack("<H", 0x0E43)), interface(NONE, E0, PRODUCT_ONLY, struct.pack("<H", 0x6A5A)),
                            interface(NONE, E0, ANY_IDS, struct.pack("<HH", 0x6A5B, 0x0E42)), converter),
        "converter_without_capabilities": bus(interface(CAPABILITIES, E0, CONVERTER_IDS | MODEL), converter),
        "two_converters": bus(converter, converter),
        "odd_error_code": bus(interface(ENUMERATE, ANY_ERROR, error_code=0x103), interface(OPEN, ANY_ERROR, error_code=259),
                              converter),
        "many_interfaces": bus(*([other] * 11 + [converter])),
    }


# --- converter_replug_fuzzer -------------------------------------------------------------------

MOVE, PULL, PLUG, SILENT, ANSWER, NEWS, NEWEST, TWICE, LOST, PULL_IN_EXCHANGE = range(10)
FIRST, SPARE = 0, 1


def replug_seeds():
    return {
        # The converter goes and comes back under its own path between the write and the read.
        "pulled_between_write_and_read_and_back": bytes([PULL_IN_EXCHANGE, FIRST | 2, MOVE, 3, 0x80]),
        "pulled_between_write_and_read": bytes([PULL_IN_EXCHANGE, FIRST, MOVE, 3, 0x80, PLUG, FIRST, MOVE, 4, 0x44]),
        # Pulled out and plugged in again while the console was busy: the news comes after both.
        "replugged_while_a_handle_is_held": bytes([MOVE, 1, 0x40, PULL, FIRST, PLUG, FIRST, MOVE, 2, 0x50]),
        "replugged_news_first": bytes([MOVE, 1, 0x40, PULL, FIRST, PLUG, FIRST, NEWS, NEWS, MOVE, 2, 0x50]),
        "replugged_news_out_of_order": bytes([MOVE, 1, 0x40, PULL, FIRST, PLUG, FIRST, NEWEST, NEWEST, MOVE, 2, 0x50]),
        "replugged_news_lost": bytes([PULL, FIRST, PLUG, FIRST, LOST, LOST, MOVE, 5, 0x10]),
        # The arrival is told once the converter went again: its search finds none, once.
        "arrival_told_after_it_went_again": bytes([PULL, FIRST, NEWS, PLUG, FIRST, PULL, FIRST, NEWS, NEWS]),
        "spare_takes_over": bytes([PLUG, SPARE, NEWS, MOVE, 0, 0x20, PULL, FIRST, NEWS, MOVE, 6, 0x60]),
        "spare_news_twice": bytes([PLUG, SPARE, TWICE, PULL, FIRST, TWICE, MOVE, 6, 0x60]),
        "silent_then_replugged": bytes([SILENT, FIRST, MOVE, 0, 1, PULL, FIRST, PLUG, FIRST, ANSWER, FIRST, NEWS,
                                        MOVE, 1, 2]),
        # Found silent again: its "I" opens the box, and inside the box it is pulled out and back.
        "replugged_inside_the_box_of_its_search": bytes([PULL, FIRST, NEWS, SILENT, FIRST, PULL_IN_EXCHANGE,
                                                         FIRST | 4 | 2, PLUG, FIRST, NEWS]),
        # Pulled out for good inside that box: the search in the box finds none, and none follows.
        "pulled_out_inside_the_box_of_its_search": bytes([PULL, FIRST, NEWS, SILENT, FIRST, PULL_IN_EXCHANGE, FIRST | 4,
                                                          PLUG, FIRST, NEWS, NEWS]),
        "silent_from_the_start": bytes([PULL, FIRST, NEWS, SILENT, FIRST, PLUG, FIRST, NEWS, MOVE, 0, 7, ANSWER,
                                        FIRST, MOVE, 1, 8]),
    }


# --- console_model_fuzzer ----------------------------------------------------------------------

(FADER, GO, FADE_TEXT, PRESET_TEXT, LEAVE, SAVE, TICK, RETRY, SILENT, ANSWER, SHAPE, PULL, PLUG, NEWS,
 CLOSE, PLUG_EARLY, RESUME) = range(17)
LINE_UP, LINE_DOWN, PAGE_UP, PAGE_DOWN, THUMB_POSITION, THUMB_TRACK, TOP, BOTTOM, END = range(9)
MASTER, A1, B1 = 0, 1, 13
TYPE, PASTE, SET = range(3)
OLDEST, NEWEST_FIRST, OLDEST_TWICE, OLDEST_LOST = range(4)
ONE_REPORT, SEVERAL_REPORTS, SPLIT_PROMPT, NO_PROMPT, LENGTH_TOO_LARGE, LENGTH_NEGATIVE = range(6)


def fader(code, which, level):
    return bytes([FADER, code, which, level])


def control(code, control_id, level):
    """A scroll notification from any control ID."""
    return bytes([FADER, code, 25]) + struct.pack("<H", control_id) + bytes([level])


def text(event, how, value):
    return bytes([event, how, len(value)]) + value


def box(*events):
    """The byte a box takes when it opens, and the events run inside it."""
    return bytes([len(events)]) + b"".join(events)


def shape(reply_shape, latency=0):
    return bytes([SHAPE, reply_shape + 6 * latency])


def console_seeds():
    scenes = b"".join(fader(THUMB_TRACK, A1 + i, 0x10 * i + 0x20) + fader(LINE_UP, B1 + i, 0xF0 - 0x10 * i)
                      for i in range(12))
    return {
        "every_scroll_code": b"".join(fader(code, which, 0x40 + code) for code in range(10)
                                      for which in (MASTER, A1 + code, B1 + code)),
        "controls_that_are_no_faders": control(THUMB_TRACK, 0, 9) + control(LINE_UP, 1003, 9)
        + control(THUMB_TRACK, 2013, 9) + control(PAGE_UP, 3013, 9) + control(LINE_DOWN, 3000, 9),
        "timed_fade_to_its_end": scenes + text(FADE_TEXT, SET, b"2") + bytes([GO, TICK, 10, TICK, 60, TICK, 70, TICK, 1]),
        "go_from_either_half": fader(THUMB_TRACK, MASTER, 127) + bytes([GO]) + fader(THUMB_TRACK, MASTER, 128)
        + bytes([GO]) + text(FADE_TEXT, SET, b"1") + fader(THUMB_TRACK, MASTER, 128) + bytes([GO, TICK, 30]),
        "go_during_a_fade": text(FADE_TEXT, SET, b"4") + bytes([GO, TICK, 60, GO, TICK, 100])
        + text(FADE_TEXT, SET, b"0") + bytes([GO, TICK, 1]),
        "fade_time_typed_and_kept": text(FADE_TEXT, SET, b"") + text(FADE_TEXT, TYPE, b"1") + text(FADE_TEXT, PASTE, b".5")
        + text(FADE_TEXT, TYPE, b"") + bytes([GO]) + text(FADE_TEXT, SET, b"abc") + bytes([GO, TICK, 120]),
        "presets_accepted_and_saved": text(PRESET_TEXT, SET, b"007") + bytes([SAVE]) + text(PRESET_TEXT, SET, b"")
        + bytes([SAVE, LEAVE]) + text(PRESET_TEXT, PASTE, b"27") + bytes([SAVE]),
        "rejected_preset_with_events_inside_its_box": text(PRESET_TEXT, SET, b"12") + text(PRESET_TEXT, TYPE, b"8")
        + box(text(PRESET_TEXT, SET, b"99"), text(FADE_TEXT, SET, b"9"), bytes([SAVE])) + bytes([SAVE]),
        # A fade tick inside "Invalid Preset" finds the converter silent.
        "converter_silent_inside_invalid_preset": text(FADE_TEXT, SET, b"2") + bytes([GO]) + text(PRESET_TEXT, SET, b"200")
        + box(bytes([SILENT]), bytes([TICK, 3])),
        "silent_converter_and_its_box": bytes([SILENT]) + fader(THUMB_TRACK, A1 + 3, 0x55)
        + box(fader(THUMB_TRACK, MASTER, 0x80), bytes([ANSWER]), text(PRESET_TEXT, SET, b"0"))
        + fader(LINE_UP, B1, 0x11) + bytes([ANSWER]) + fader(THUMB_TRACK, A1, 0x22),
        "reply_shapes": b"".join(shape(s, latency) + fader(THUMB_TRACK, A1 + s, 0x30 + s) + box()
                                 for s in range(6) for latency in range(3)),
        "pulled_out_moved_and_found_again": bytes([PULL, NEWS, OLDEST]) + fader(THUMB_TRACK, A1 + 2, 0x70)
        + fader(PAGE_DOWN, MASTER, 0xC0) + bytes([PLUG, NEWS, OLDEST]) + fader(THUMB_TRACK, B1 + 5, 0x05),
        "replugged_unnoticed_then_saved": fader(THUMB_TRACK, A1, 0x33) + bytes([PULL, PLUG, SAVE, NEWS, OLDEST_LOST,
                                                                               NEWS, OLDEST]),
        "news_reordered_and_doubled": bytes([PULL, PLUG, NEWS, NEWEST_FIRST, NEWS, OLDEST_TWICE]) + fader(LINE_UP, A1, 1)
        + bytes([PULL, NEWS, OLDEST_TWICE, PLUG, NEWS, OLDEST_LOST]),
        # Announced while it was out again: the retries find it.
        "found_by_the_search_retries": bytes([PULL, NEWS, OLDEST, PLUG, PULL, NEWS, OLDEST, NEWS, OLDEST_LOST,
                                              RETRY, PLUG, NEWS, OLDEST_LOST, RETRY]),
        # Announced 640 ms before it opens, after the retries of an earlier arrival ran out.
        "announced_before_it_opens": bytes([PULL, PLUG, PULL, NEWS, OLDEST, NEWS, OLDEST, NEWS, OLDEST, TICK, 130,
                                            PLUG_EARLY, 40, NEWS, OLDEST, TICK, 30, TICK, 100]),
        "resumed_after_the_levels_were_lost": scenes + bytes([RESUME, 1, RESUME, 0, PULL, PLUG, RESUME, 1]),
        "closed_inside_a_box": bytes([SILENT]) + text(FADE_TEXT, SET, b"2") + bytes([GO]) + box(bytes([CLOSE]))
        + bytes([ANSWER, GO, SAVE, TICK, 5]) + fader(THUMB_TRACK, MASTER, 9) + bytes([PLUG, NEWS, OLDEST]),
    }


def main():
    write("reply_reading_fuzzer", reply_seeds())
    write("command_framing_fuzzer", framing_seeds())
    write("fade_time_fuzzer", fade_seeds())
    write("preset_text_fuzzer", preset_seeds())
    write("converter_search_fuzzer", search_seeds())
    write("converter_replug_fuzzer", replug_seeds())
    write("console_model_fuzzer", console_seeds())


if __name__ == "__main__":
    main()
