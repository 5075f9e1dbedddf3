#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

struct SRadioState;
class CControlBus;

// org.mpris.MediaPlayer2.Player: the media keys. Playing is the radio heard,
// paused the sound card muted, stopped the receiver absent; next and previous
// walk the band's filled preset slots.
class CMprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)

public:
    static constexpr const char* kInterface = "org.mpris.MediaPlayer2.Player";

    CMprisPlayerAdaptor(QObject* pObject, CControlBus& bus);

    QString PlaybackStatus() const;
    double Rate() const { return 1.0; }
    void SetRate(double) {}  // a radio plays at its own pace
    QVariantMap Metadata() const;
    double Volume() const;
    void SetVolume(double dVolume);
    qlonglong Position() const { return 0; }
    bool CanGoNext() const;
    bool CanGoPrevious() const { return CanGoNext(); }
    bool CanPlay() const;
    bool CanPause() const { return CanPlay(); }
    bool CanSeek() const { return false; }
    bool CanControl() const { return true; }

    // The properties of a state, by their names, for PropertiesChanged.
    static QVariantMap Properties(const SRadioState& state);
    static QString PlaybackStatus(const SRadioState& state);
    static QVariantMap Metadata(const SRadioState& state);

public Q_SLOTS:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

Q_SIGNALS:
    void Seeked(qlonglong nPosition);

private:
    CControlBus& m_bus;
};
