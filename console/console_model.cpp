#include "console/console_model.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "console/box_rules.h"
#include "console/control_ids.h"
#include "console/fader_routing.h"
#include "converter/converter_commands.h"
#include "mixing/channel_mix.h"
#include "mixing/fade_time.h"

namespace {

// The crossfade's arithmetic runs on seconds of the console's monotonic clock.
double Seconds(TimePoint t)
{
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

}  // namespace

ConsoleModel::ConsoleModel(const ConsolePorts& ports, HidBus& bus, std::optional<std::string> logPath)
    : ports_(ports), link_(bus, ports.clock, std::move(logPath))
{
    Record(recordedFadeText_, INITIAL_FADE_TEXT);
    Record(recordedPresetText_, INITIAL_PRESET_TEXT);
}

void ConsoleModel::OpenConverter()
{
    Heed(link_.OpenConverter());
}

void ConsoleModel::SendChannel(int channel)
{
    if (closing_) {
        return;
    }
    Faders& faders = ports_.faders;
    const int level =
        MixLevel(faders.Level(ID_SCENE_A_FIRST + channel), faders.Level(ID_SCENE_B_FIRST + channel), faders.Level(ID_MASTER));
    Heed(link_.SendConverterCommand(LevelCommand(channel, level)));
}

void ConsoleModel::SendAllChannels()
{
    // A box opened by one exchange may close the console before the next.
    for (int channel = 0; channel < CHANNEL_COUNT && !closing_; ++channel) {
        SendChannel(channel);
    }
}

void ConsoleModel::OnFaderScroll(int scrollCode, int controlId)
{
    const ScrollOutput output = OutputForScroll(scrollCode, controlId);
    if (output.allChannels) {
        SendAllChannels();
    } else if (output.channel) {
        SendChannel(*output.channel);
    }
}

void ConsoleModel::Go()
{
    if (closing_) {
        return;
    }
    // The time of GO is taken first: reading the box and sending count toward the fade.
    const double now = Seconds(ports_.clock.Now());
    if (const auto seconds = ParseFadeTime(ports_.boxes.Read(ID_FADE_TIME).data())) {
        fade_.duration = *seconds;
    }
    AimCrossfade(fade_, now, ports_.faders.Level(ID_MASTER));
    SendAllChannels();
    if (closing_) {
        return;
    }
    if (!SwitchesAtOnce(fade_.duration)) {
        // A running fade's timer is replaced.
        ports_.fadeTimer.Start(FADE_TICK_PERIOD);
        fading_ = true;
        return;
    }
    StopFade();
    ports_.faders.SetLevel(ID_MASTER, fade_.target);
    SendAllChannels();
}

void ConsoleModel::OnFadeTick()
{
    if (closing_ || !fading_) {
        return;
    }
    const CrossfadeStep step = StepCrossfade(fade_, Seconds(ports_.clock.Now()));
    if (step.finished) {
        StopFade();
    }
    ports_.faders.SetLevel(ID_MASTER, step.level);
    SendAllChannels();
}

void ConsoleModel::StopFade()
{
    if (fading_) {
        ports_.fadeTimer.Stop();
        fading_ = false;
    }
}

void ConsoleModel::OnBoxUpdate(int boxId)
{
    if (closing_) {
        return;
    }
    if (boxId == ID_FADE_TIME) {
        OnFadeTimeBox();
    } else if (boxId == ID_PRESET) {
        OnPresetBox();
    }
}

// A change of the text is recorded. An update that leaves the text as it was (a character the
// full box refused, a refused paste) starts nothing: only Enter and GO start the fade.
void ConsoleModel::OnFadeTimeBox()
{
    if (openBox_ == OpenBox::InvalidPreset) {
        Restore(ID_FADE_TIME, recordedFadeText_);
        return;
    }
    Record(recordedFadeText_, ports_.boxes.Read(ID_FADE_TIME).data());
}

void ConsoleModel::OnPresetBox()
{
    if (openBox_ == OpenBox::InvalidPreset) {
        // Typed or put in by another program while the box of a bad preset is open: whatever way
        // it came, the preset box keeps the last good preset until the operator has closed it.
        Restore(ID_PRESET, recordedPresetText_);
        return;
    }
    const RecordedText text = ports_.boxes.Read(ID_PRESET);
    switch (CheckPresetText(text.data())) {
    case PresetVerdict::Empty:
        break;
    case PresetVerdict::Accepted:
        Record(recordedPresetText_, text.data());
        break;
    case PresetVerdict::Rejected:
        // The good text is back before the box opens. Restoring it may raise another update, which
        // finds the recorded text; so does the loss of focus to the box.
        Restore(ID_PRESET, recordedPresetText_);
        if (openBox_ == OpenBox::CommError) {
            // The error box has no owner, so the panel takes keys meanwhile: the refusal is heard.
            ports_.messages.Refuse();
            break;
        }
        openBox_ = OpenBox::InvalidPreset;
        ports_.messages.ShowInvalidPreset(INVALID_PRESET_TEXT, INVALID_PRESET_CAPTION);
        openBox_ = OpenBox::None;
        // A silence that began while the box was open is told now.
        TellCommError(false);
        break;
    }
}

void ConsoleModel::OnPresetBoxLeft()
{
    if (!closing_) {
        Restore(ID_PRESET, recordedPresetText_);
    }
}

void ConsoleModel::Restore(int boxId, const RecordedText& recorded)
{
    if (SameText(ports_.boxes.Read(boxId).data(), recorded)) {
        return;
    }
    if (openBox_ == OpenBox::InvalidPreset) {
        ports_.messages.Refuse();
    }
    ports_.boxes.Show(boxId, recorded.data());
}

void ConsoleModel::Save()
{
    if (closing_) {
        return;
    }
    // What was recorded is what is stored, not what the box shows now.
    const std::string store = StorePresetCommand(PresetNumber(recordedPresetText_.data()));
    const LinkNews news = link_.SendConverterCommand(store);
    Heed(news);
    // Replugged unnoticed, the converter never saw the store; found again, it now holds what the
    // operator saw when pressing SAVE.
    if (news.result == CommandResult::Lost && !news.written && news.found && link_.Present() && !link_.Silent() &&
        !closing_) {
        Heed(link_.SendConverterCommand(store));
    }
}

void ConsoleModel::OnDeviceArrival()
{
    if (closing_) {
        return;
    }
    lastArrival_ = ports_.clock.Now();
    searchRetriesDone_ = 0;
    ports_.retryTimer.Stop();
    Heed(link_.OnDeviceArrival());
    if (!link_.Present()) {
        ScheduleSearchRetry();
    }
}

void ConsoleModel::OnDeviceRemoval()
{
    if (!closing_) {
        Heed(link_.OnDeviceRemoval());
    }
}

// A converter that lost its connection in the sleep is a new device that the old handle no longer
// reaches: the check of a removal's news tells the two apart, a lost converter is searched for,
// and one found gets "I" and the faders as any converter found.
void ConsoleModel::OnSystemResume()
{
    if (closing_) {
        return;
    }
    const LinkNews news = link_.OnDeviceRemoval();
    Heed(news);
    if (!news.lost && link_.Present()) {
        SendAllChannels();
    }
}

void ConsoleModel::OnRetryTimer()
{
    ports_.retryTimer.Stop();
    ++searchRetriesDone_;
    if (closing_) {
        return;
    }
    Heed(link_.SearchAgain());
    if (!link_.Present()) {
        ScheduleSearchRetry();
    }
}

void ConsoleModel::ScheduleSearchRetry()
{
    // A box of the search may have closed the console: its timers are gone.
    if (closing_ || searchRetriesDone_ >= std::size(SEARCH_RETRY_DELAYS)) {
        return;
    }
    const TimePoint due = lastArrival_ + SEARCH_RETRY_DELAYS[searchRetriesDone_];
    ports_.retryTimer.Start(std::max(due - ports_.clock.Now(), Duration::zero()));
}

void ConsoleModel::Close()
{
    closing_ = true;
    StopFade();
    ports_.retryTimer.Stop();
    link_.CloseConverter();
    FollowStage();
}

void ConsoleModel::Heed(const LinkNews& news)
{
    if (news.silenceBegan) {
        silenceTold_ = false;
    }
    if (news.found) {
        ports_.retryTimer.Stop();
    }
    FollowStage();
    ShowNotice();
    TellCommError(news.readFailed && link_.Present() && !link_.Silent());
    // What was sent while the converter was away or silent did not reach it; a converter found
    // holds nothing of the faders. The stage is brought to what they show.
    if ((news.found || news.back) && link_.Present()) {
        SendAllChannels();
    }
}

void ConsoleModel::FollowStage()
{
    if (ports_.awake != nullptr) {
        ports_.awake->Hold(link_.Present());
    }
}

void ConsoleModel::ShowNotice()
{
    const ConverterNotice notice = !link_.Present() ? ConverterNotice::NotFound
                                   : link_.Silent() ? ConverterNotice::NotAnswering
                                                    : ConverterNotice::None;
    if (!closing_ && notice != notice_) {
        notice_ = notice;
        ports_.notice.Show(notice);
    }
}

// Fade ticks and the converter's news run inside the boxes: a read failing there opens no box on
// top of another, and a silence begun there is told once the box is closed, if it still lasts.
void ConsoleModel::TellCommError(bool plainFailure)
{
    for (;;) {
        const bool untoldSilence = link_.Silent() && !silenceTold_;
        if (closing_ || openBox_ != OpenBox::None || !(plainFailure || untoldSilence)) {
            return;
        }
        if (untoldSilence) {
            // Told after the exchange that began it, the silence may be of a converter pulled out
            // since: that one is lost, not silent.
            const LinkNews check = link_.CheckConverter();
            if (check.lost) {
                Heed(check);
                continue;
            }
        }
        plainFailure = false;
        silenceTold_ = silenceTold_ || untoldSilence;
        openBox_ = OpenBox::CommError;
        ports_.messages.ShowCommError(COMM_ERROR_TEXT, COMM_ERROR_CAPTION);
        openBox_ = OpenBox::None;
    }
}
