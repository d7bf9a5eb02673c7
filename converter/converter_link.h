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

// What a call of the link gave, for its caller to act on. The link shows nothing and calls no one:
// the console that owns it decides what the operator is told, once the call has let go of the
// device and its buffers.
struct LinkNews {
    CommandResult result = CommandResult::NotPresent;  // of the command asked for
    bool written = false;       // the command's report went out (a store may have been kept)
    bool lost = false;          // the converter in use went: it was closed, nothing reaches it
    bool found = false;         // a converter was found after start-up and sent "I": it holds nothing of the faders
    bool back = false;          // the converter answered again after a silence: what was sent meanwhile missed it
    bool silenceBegan = false;  // the converter missed a deadline while it was answering
    bool readFailed = false;    // the report went out, but no prompt came back

    // The news of two calls in a row; the result stays the first's.
    void Add(const LinkNews& later);
};

// The link's course, all of it:
//
//   Closed        closed for good: nothing is sent, read or searched any more
//   NoConverter   none in use; `lostSinceSearch`: the one in use went since the last search
//   InUse         a converter found, sized and sent "I"; `silent`: it missed a deadline and has
//                 not answered since
//
//   NoConverter --search finds one--> InUse (answering)   --finds none--> NoConverter
//   InUse --its handle no longer reaches it--> NoConverter (lostSinceSearch): lost
//   answering --a deadline missed--> silent: silenceBegan; --the prompt--> answering: back
//   any --CloseConverter--> Closed
//
// Every operation returns what it gave; a search that follows a loss within the operation adds
// its own news (found).
class ConverterLink {
public:
    // `logPath` is where each search writes its discovery log; none when it cannot be placed.
    ConverterLink(HidBus& bus, Clock& clock, std::optional<std::string> logPath);
    ConverterLink(const ConverterLink&) = delete;
    ConverterLink& operator=(const ConverterLink&) = delete;

    // The start-up search: finds the converter, sizes it and sends it "I". Afterwards Present()
    // tells whether a converter is in use; a device whose capabilities cannot be read, whose
    // buffers cannot be allocated or whose reports are too short for the commands counts as
    // absent. Each search writes the discovery log afresh. A converter already in use is kept,
    // and nothing is searched.
    LinkNews OpenConverter();

    // Searches again while no converter is in use; a converter found is sent "I" (found).
    LinkNews SearchAgain();

    // Closes the converter for good: nothing more is sent, read or searched.
    void CloseConverter();

    // The platform's news that a HID interface came or went, delivered late, twice or out of order
    // as it may be. Either way the converter in use is checked first: one whose handle no longer
    // reaches its device (pulled out, perhaps plugged in again since) is lost. Then, while none is
    // in use, an arrival searches, and so does a removal once the converter was lost since the
    // last search (a spare plugged in already takes over).
    LinkNews OnDeviceRemoval();
    LinkNews OnDeviceArrival();
    // Without news: is the converter in use still there? One gone is lost, and searched for, as
    // on a removal.
    LinkNews CheckConverter() { return OnDeviceRemoval(); }

    // Frames `text` into an output report, writes it and reads the reply up to the prompt. A
    // failed write or read on a device that is gone is a loss: the converter is closed, and
    // another search follows at once. A converter answering again that never answered its "I"
    // is sent "I" first.
    LinkNews SendConverterCommand(std::string_view text);

    bool Present() const { return std::holds_alternative<InUse>(state_); }
    // The converter missed a deadline and has not answered since.
    bool Silent() const
    {
        const InUse* use = std::get_if<InUse>(&state_);
        return use != nullptr && use->silent;
    }

private:
    struct Closed {};
    struct NoConverter {
        bool lostSinceSearch;  // false when made with {}
    };
    struct InUse {
        CommandExchange exchange;
        bool silent = false;
        bool identified = false;     // it has answered its "I"
        bool failureLogged = false;  // its last failure went to the discovery log; the next one goes once it answered
    };

    InUse* Converter() { return std::get_if<InUse>(&state_); }
    // While no converter is in use: finds one, sizes it and sends it "I". Looks again (up to
    // SEARCH_ROUNDS in all) while the converter it found is lost in its "I".
    LinkNews Search(bool tellFound);
    LinkNews SearchIfLost();
    bool Find();
    LinkNews Exchange(std::string_view text);
    // Outside an exchange: a converter in use that is gone is lost.
    LinkNews LoseIfGone();
    void LogFailure(const ExchangeReport& report);

    HidBus& bus_;
    Clock& clock_;
    std::optional<std::string> logPath_;

    std::variant<NoConverter, InUse, Closed> state_;
};
