#include "control/MprisPlayerAdaptor.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

#include "control/ControlBus.h"
#include "presets/PresetStore.h"

namespace {

constexpr double kFullVolume = 0xFFFF;

QString Text(const std::string& strText) {
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

}  // namespace

CMprisPlayerAdaptor::CMprisPlayerAdaptor(QObject* pObject, CControlBus& bus)
    : QDBusAbstractAdaptor(pObject), m_bus(bus) {
    // The player's properties are announced by the bus object, whoever
    // changed them.
    setAutoRelaySignals(false);
}

QString CMprisPlayerAdaptor::PlaybackStatus(const SRadioState& state) {
    if (!state.bPresent) {
        return QStringLiteral("Stopped");
    }
    return state.bMuted ? QStringLiteral("Paused") : QStringLiteral("Playing");
}

// A station is its band and frequency: the same one tuned again is the same
// track.
QVariantMap CMprisPlayerAdaptor::Metadata(const SRadioState& state) {
    const QString strBand = Text(CPresetStore::ModelText(state.nBand));
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(
                        QStringLiteral("/io/github/kestrelradio/Kestrel/Station/%1%2")
                            .arg(strBand)
                            .arg(state.nFrequency))));
    metadata.insert(QStringLiteral("xesam:title"), Text(state.DisplayTitle()));
    metadata.insert(QStringLiteral("xesam:album"), strBand);
    QStringList comment{Text(state.strChannelText)};
    if (!state.strRadioText.empty()) {
        comment << Text(state.strRadioText);
    }
    metadata.insert(QStringLiteral("xesam:comment"), comment);
    if (!state.strStation.empty()) {
        metadata.insert(QStringLiteral("xesam:artist"), QStringList{Text(state.strStation)});
    }
    return metadata;
}

QVariantMap CMprisPlayerAdaptor::Properties(const SRadioState& state) {
    const bool bCanPlay = state.bPresent;
    return {
        {QStringLiteral("PlaybackStatus"), PlaybackStatus(state)},
        {QStringLiteral("Metadata"), Metadata(state)},
        {QStringLiteral("Volume"), static_cast<double>(state.nVolume) / kFullVolume},
        {QStringLiteral("CanGoNext"), bCanPlay && state.bHasPresets},
        {QStringLiteral("CanGoPrevious"), bCanPlay && state.bHasPresets},
        {QStringLiteral("CanPlay"), bCanPlay},
        {QStringLiteral("CanPause"), bCanPlay},
    };
}

QString CMprisPlayerAdaptor::PlaybackStatus() const {
    return PlaybackStatus(m_bus.Current());
}

QVariantMap CMprisPlayerAdaptor::Metadata() const {
    return Metadata(m_bus.Current());
}

double CMprisPlayerAdaptor::Volume() const {
    return static_cast<double>(m_bus.Current().nVolume) / kFullVolume;
}

void CMprisPlayerAdaptor::SetVolume(double dVolume) {
    if (!std::isfinite(dVolume)) {
        return;
    }
    const double dClamped = std::clamp(dVolume, 0.0, 1.0);
    m_bus.Controller().SetVolume(static_cast<std::uint32_t>(std::lround(dClamped * kFullVolume)));
    m_bus.Refresh();
}

bool CMprisPlayerAdaptor::CanGoNext() const {
    const SRadioState& state = m_bus.Current();
    return state.bPresent && state.bHasPresets;
}

bool CMprisPlayerAdaptor::CanPlay() const {
    return m_bus.Current().bPresent;
}

void CMprisPlayerAdaptor::Next() {
    m_bus.Controller().Next();
    m_bus.Refresh();
}

void CMprisPlayerAdaptor::Previous() {
    m_bus.Controller().Previous();
    m_bus.Refresh();
}

void CMprisPlayerAdaptor::Pause() {
    m_bus.Controller().SetMuted(true);
    m_bus.Refresh();
}

void CMprisPlayerAdaptor::PlayPause() {
    m_bus.Controller().ToggleMute();
    m_bus.Refresh();
}

// Nothing to stop but the sound: a radio that is stopped is one not heard.
void CMprisPlayerAdaptor::Stop() {
    Pause();
}

void CMprisPlayerAdaptor::Play() {
    m_bus.Controller().SetMuted(false);
    m_bus.Refresh();
}
