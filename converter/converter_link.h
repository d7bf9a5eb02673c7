#pragma once

// The command channel to the converter: found and opened on the HID bus, then one operation for
// the rest of the console: send a command text and wait for the converter's prompt.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "converter/clock.h"
#include "converter/converter_exchange.h"
#include "converter/hid_access.h"

inline constexpr std::uint16_t CONVERTER_VENDOR_ID = 0x6A5B;
inline constexpr std::uint16_t CONVERTER_PRODUCT_ID = 0x0E42;

// A search looks again at most this often in a row while converters come and go under it.
inline constexpr int SEARCH_ROUNDS = 4;

inline constexpr const char* COMM_ERROR_TEXT = "USB Comm error";
inline constexpr const char* COMM_ERROR_CAPTION = "Error";

// What the link needs from the console that owns the windows. The link calls it only once the
// exchange that gave the reason has let go of the device and its buffers: whatever a call runs
// (a box's message loop, further commands, closing the converter, another search) is safe.
class ConverterListener {
public:
    virtual ~ConverterListener() = default;
    // The read-error box: modal, no owner, OK only.
    virtual void ShowCommError(const char* text, const char* caption) = 0;
    // The converter answered again after it had missed a deadline: what was sent meanwhile did not
    // reach it. Called once per return.
    virtual void ConverterBack() = 0;
    // The converter in use is gone (unplugged, or its handle no longer reaches it): it has been
    // closed, and nothing more is sent until one is found again.
    virtual void ConverterLost() = 0;
    // A converter was found after start-up and has been sent "I": it holds nothing of the faders.
    virtual void ConverterFound() = 0;
};

// The link's course, all of it:
//
//   Closed        closed for good: nothing is sent, read or searched any more
//   NoConverter   none in use; `lostSinceSearch`: the one in use went since the last search
//   InUse         a converter found, sized and sent "I"; its Silence:
//                   Answering  its last exchange ended with the prompt (or it has not missed one yet)
//                   Silent     it missed a deadline and has not answered since; no box shown yet
//                   Told       ... and this silence's box has been shown
//
//   NoConverter --search finds one--> InUse (Answering)   --finds none--> NoConverter
//   InUse --its handle no longer reaches it--> NoConverter (lostSinceSearch), the listener told
//   Answering --a deadline missed--> Silent --the box shown--> Told
//   Silent, Told --the prompt--> Answering, and the listener hears it is back
//   any --CloseConverter--> Closed
//
// A search calls nothing outside the link: the news it gave (the box of its "I", the converter
// found) is told once it is done, so whatever the box's message loop brings is served at once.
class ConverterLink {
public:
    // `logPath` is where each search writes its discovery log; none when it cannot be placed.
    ConverterLink(HidBus& bus, Clock& clock, ConverterListener& listener, std::optional<std::string> logPath);
    ConverterLink(const ConverterLink&) = delete;
    ConverterLink& operator=(const ConverterLink&) = delete;

    // The start-up search: finds the converter, sizes it and sends it "I". Afterwards Present()
    // tells whether a converter is in use; a device whose capabilities cannot be read, whose
    // buffers cannot be allocated or whose reports are too short for the commands counts as
    // absent. Each search writes the discovery log afresh. A converter already in use is kept,
    // and nothing is searched.
    void OpenConverter();

    // Searches again while no converter is in use; a converter found is sent "I" and the listener
    // is told (ConverterFound). True when a converter is in use afterwards.
    bool SearchAgain();

    // Closes the converter for good: nothing more is sent, read or searched.
    void CloseConverter();

    // The platform's news that a HID interface came or went, delivered late, twice or out of order
    // as it may be. Either way the converter in use is checked first: one whose handle no longer
    // reaches its device (pulled out, perhaps plugged in again since) is lost. Then, while none is
    // in use, an arrival searches, and so does a removal once the converter was lost since the
    // last search (a spare plugged in already takes over). The removal says whether it lost the
    // converter; the arrival whether one is in use afterwards.
    bool OnDeviceRemoval();
    bool OnDeviceArrival();

    // Frames `text` into an output report, writes it and reads the reply up to the prompt. A
    // failed write or read on a device that is gone is a loss: the converter is closed, the
    // listener told, and another search follows at once.
    CommandResult SendConverterCommand(std::string_view text);

    bool Present() const { return std::holds_alternative<InUse>(state_); }
    // The converter missed a deadline and has not answered since.
    bool Silent() const
    {
        const InUse* use = std::get_if<InUse>(&state_);
        return use != nullptr && use->silence != Silence::Answering;
    }

private:
    enum class Silence { Answering, Silent, Told };
    struct Closed {};
    struct NoConverter {
        bool lostSinceSearch;  // false when made with {}
    };
    struct InUse {
        CommandExchange exchange;
        std::uint32_t serial = 0;  // which converter found since the start this is
        Silence silence = Silence::Answering;
        bool identified = false;     // it has answered its "I"
        bool failureLogged = false;  // its last failure went to the discovery log; the next one goes once it answered
        bool resendOwed = false;     // it answered again, and the listener has not heard yet
    };
    // What an exchange, or the news of a device, gave the listener reason to hear.
    struct News {
        CommandResult result = CommandResult::NotPresent;
        bool lost = false;
        bool box = false;
        bool found = false;
        std::uint32_t serial = 0;  // of the converter the news is about
    };

    InUse* Converter() { return std::get_if<InUse>(&state_); }
    // While no converter is in use: finds one, sizes it and sends it "I" without calling out of
    // the link, so that no search ever runs inside another, and then tells what that gave. Looks
    // again (up to SEARCH_ROUNDS in all) while the converter it found is lost in its "I".
    void Search(bool tellFound);
    void SearchIfLost();
    bool Find();
    News Exchange(std::string_view text);
    // Outside an exchange: a converter in use that is gone is lost, and the listener told at once.
    bool LoseIfGone();
    void LogFailure(const ExchangeReport& report);
    // The one place the listener hears from the link.
    void Tell(const News& news);
    void ShowCommError();

    HidBus& bus_;
    Clock& clock_;
    ConverterListener& listener_;
    std::optional<std::string> logPath_;

    std::variant<NoConverter, InUse, Closed> state_;
    std::uint32_t convertersFound_ = 0;
    bool errorBoxOpen_ = false;
};
