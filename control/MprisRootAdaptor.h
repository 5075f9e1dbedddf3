#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>

class CControlBus;

// org.mpris.MediaPlayer2: who the player is, for the desktop's media controls.
class CMprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

public:
    CMprisRootAdaptor(QObject* pObject, CControlBus& bus);

    bool CanQuit() const { return false; }
    bool CanRaise() const;
    bool HasTrackList() const { return false; }
    QString Identity() const;
    QString DesktopEntry() const;
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

public Q_SLOTS:
    void Raise();
    // The radio ends by its own window only, where its recording is closed.
    void Quit() {}

private:
    CControlBus& m_bus;
};
