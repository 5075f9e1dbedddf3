// Renders the main window template and the tool window templates with the
// embedded skin to PNG files, on Qt's offscreen platform, so that the look can
// be reviewed without a display:
//
//   kestrel_skin_screenshot <folder>
//
// writes main.png (template 102 with its three indicators at different
// values), docked.png (the main window with the player docked to it) and one
// PNG per tool window.

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/names/KestrelNames.h"
#include "skin/Dialog.h"
#include "skin/SkinEngine.h"
#include "skin/SkinMeter.h"

namespace {

struct SIndicator {
    int nControl;
    const char* pszRect;
    const char* pszImages;
    int nValue;
};

void PlaceIndicators(CSkinEngine& engine, CDialog& window) {
    const SIndicator indicators[] = {
        {1033, "AntRect", "Singer", 70},
        {1032, "ChannelRect", "Speack", 50},
        {1028, "RecoRect", "RecoMovie", 100},
    };
    for (const SIndicator& indicator : indicators) {
        auto* pMeter = new CSkinMeter(engine);
        window.SubclassDlgItem(indicator.nControl, pMeter);
        pMeter->SetSkinName(indicator.pszImages);
        pMeter->SetVertical(0);
        SSkinRect rect;
        HSKINOBJECT hObject = engine.FindObject(indicator.pszRect);
        if (engine.GetObjectRect(hObject, rect)) {
            pMeter->setGeometry(rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top);
        }
        engine.ReleaseObject(hObject);
        pMeter->SetValue(indicator.nValue);
    }
    // The recording lamp shows while a recording runs.
    window.ShowDlgItem(1028, true);
}

void FillMainWindow(CDialog& window) {
    window.SetDlgItemText(1023, "98.10MHz");
    window.SetDlgItemText(1037, "FM");
    window.SetDlgItemText(1038, "KESTREL RADIO      KESTREL RADIO      ");
    window.SetDlgItemText(1029, "00:12:34");
    window.GetDlgItemAs<QPushButton>(1022)->setChecked(true);
    auto* pVolume = window.GetDlgItemAs<QSlider>(1030);
    pVolume->setRange(0, 0xFFFF);
    pVolume->setValue(0xA000);
    // Empty preset slots are disabled.
    for (int nSlot : {6, 9}) {
        window.EnableDlgItem(1008 + nSlot, false);
    }
}

QTreeWidget* List(CDialog& window, int nId, const std::vector<std::pair<QString, int>>& columns) {
    auto* pList = window.GetDlgItemAs<QTreeWidget>(nId);
    QStringList headers;
    for (const auto& column : columns) {
        headers << column.first;
    }
    pList->setHeaderLabels(headers);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        pList->header()->setSectionResizeMode(i, QHeaderView::Interactive);
        pList->setColumnWidth(i, columns[i].second);
    }
    return pList;
}

void AddRow(QTreeWidget* pList, const QStringList& cells) {
    new QTreeWidgetItem(pList, cells);
}

void FillPlayer(CDialog& window) {
    window.SetDlgItemText(1059, "Recordings");
    auto* pList = List(window, 1042, {{"Channel", 105}, {"Begin Time", 128}, {"Duration", 90}});
    AddRow(pList, {"FM 98.10MHz", "2024-05-03 07:30:00", "00:45:00"});
    AddRow(pList, {"FM 101.70MHz", "2024-05-03 18:00:00", "01:00:00"});
    AddRow(pList, {"AM 1008KHz", "2024-05-04 12:15:00", "00:20:00"});
    pList->setCurrentItem(pList->topLevelItem(1));
    auto* pPosition = window.GetDlgItemAs<QSlider>(1050);
    pPosition->setRange(0, 3600);
    pPosition->setValue(1250);
}

void FillShortKeys(CDialog& window) {
    window.SetDlgItemText(1059, "Preset editor");
    window.GetDlgItemAs<QComboBox>(1024)->setCurrentIndex(1);
    auto* pList =
        List(window, 1042, {{"Key", 50}, {"Model", 60}, {"Frequency", 90}, {"Title", 150}});
    const char* stations[][2] = {{"87.50MHz", "Morning News"},
                                 {"90.20MHz", "Classic FM"},
                                 {"98.10MHz", "City Jazz"},
                                 {"101.70MHz", "Talk Radio"},
                                 {"104.30MHz", "Rock One"}};
    for (int n = 0; n < 12; ++n) {
        const bool bUsed = n < 5;
        AddRow(pList, {QString::number(n), bUsed ? "FM" : "", bUsed ? stations[n][0] : "",
                       bUsed ? stations[n][1] : ""});
    }
    pList->setCurrentItem(pList->topLevelItem(2));
    window.GetDlgItemAs<QComboBox>(1048)->setCurrentIndex(2);
    window.SetDlgItemText(1047, "98.10");
    window.SetDlgItemText(1031, "City Jazz");
}

void FillOptions(CDialog& window) {
    window.SetDlgItemText(1059, "Options");
    for (int nId : {1050, 1052}) {
        window.GetDlgItemAs<QComboBox>(nId)->setCurrentIndex(1);
    }
    window.GetDlgItemAs<QComboBox>(1048)->addItem("HDA Intel PCH");
    window.GetDlgItemAs<QComboBox>(1048)->setCurrentIndex(0);
    window.GetDlgItemAs<QComboBox>(1028)->addItem("Line");
    window.GetDlgItemAs<QComboBox>(1028)->setCurrentIndex(0);
    for (int nId : {1051, 1049, 1053}) {
        window.GetDlgItemAs<QComboBox>(nId)->setCurrentIndex(0);
    }
    window.SetDlgItemText(1015, "/home/listener/RadioRecord");
}

void FillNewTask(CDialog& window) {
    window.SetDlgItemText(1059, "New recording");
    auto* pChannels = window.GetDlgItemAs<QComboBox>(1043);
    pChannels->addItem("FM 98.10MHz  City Jazz");
    pChannels->setCurrentIndex(1);
    window.GetDlgItemAs<QComboBox>(1027)->setCurrentIndex(1);
    window.SetDlgItemText(1047, "98.10");
    window.SetDlgItemText(1022, "Late night jazz");
    for (int nId : {1024, 1026}) {
        window.GetDlgItemAs<QDateTimeEdit>(nId)->setDisplayFormat("HH:mm");
    }
}

void FillTaskList(CDialog& window) {
    window.SetDlgItemText(1059, "Scheduled recordings");
    auto* pList = List(window, 1042,
                       {{"Frequency", 115}, {"Begin Time", 115}, {"Duration", 70}, {"Memo", 140}});
    AddRow(pList, {"FM 98.10MHz  ", "24-05-06 22:00", "01:00:00", "Late night jazz"});
    AddRow(pList, {"AM 1008KHz     ", "24-05-07 07:00", "00:30:00", "News"});
}

bool Save(QWidget& window, const QString& strPath) {
    const QImage image = window.grab().toImage();
    if (!image.save(strPath)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(strPath));
        return false;
    }
    std::printf("%s\n", qPrintable(strPath));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QString strFolder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(strFolder);

    CSkinEngine engine;
    if (!engine.Initialise("KestrelFM") || !engine.LoadSkin("SKIN", "KESTRELSKIN")) {
        std::fprintf(stderr, "skin: %s\n", engine.LastError().c_str());
        return 1;
    }

    CDialog mainWindow(102, &engine);
    if (!mainWindow.Create() || !engine.ApplySkin(&mainWindow, "MainWin")) {
        std::fprintf(stderr, "main window: %s%s\n", mainWindow.LastError().c_str(),
                     engine.LastError().c_str());
        return 1;
    }
    mainWindow.setWindowTitle(KestrelNames::kWindowTitle);
    PlaceIndicators(engine, mainWindow);
    FillMainWindow(mainWindow);
    mainWindow.show();

    struct STool {
        int nTemplate;
        const char* pszSkin;
        const char* pszFile;
        void (*fill)(CDialog&);
    };
    const STool tools[] = {
        {131, "PlayWin", "player.png", FillPlayer},
        {132, "ShortKeyWin", "shortkeys.png", FillShortKeys},
        {133, "OptionWin", "options.png", FillOptions},
        {137, "NewTaskWin", "newtask.png", FillNewTask},
        {138, "TaskListWin", "tasklist.png", FillTaskList},
        {100, "", "about.png", nullptr},
    };
    std::vector<std::unique_ptr<CDialog>> windows;
    bool bOk = true;
    for (const STool& tool : tools) {
        auto pWindow = std::make_unique<CDialog>(tool.nTemplate, &engine);
        if (!pWindow->Create() ||
            (*tool.pszSkin && !engine.ApplySkin(pWindow.get(), tool.pszSkin))) {
            std::fprintf(stderr, "template %d: %s%s\n", tool.nTemplate,
                         pWindow->LastError().c_str(), engine.LastError().c_str());
            return 1;
        }
        if (tool.fill) {
            tool.fill(*pWindow);
        }
        pWindow->show();
        windows.push_back(std::move(pWindow));
    }
    QApplication::processEvents();

    bOk &= Save(mainWindow, strFolder + "/main.png");
    for (size_t i = 0; i < windows.size(); ++i) {
        bOk &= Save(*windows[i], strFolder + "/" + tools[i].pszFile);
    }

    // The player docked against the main window's right edge.
    const QPixmap main = mainWindow.grab();
    const QPixmap player = windows[0]->grab();
    QImage docked(main.width() + player.width(), std::max(main.height(), player.height()),
                  QImage::Format_ARGB32);
    docked.fill(QColor(40, 44, 52));
    QPainter painter(&docked);
    painter.drawPixmap(0, 0, main);
    painter.drawPixmap(main.width(), 0, player);
    painter.end();
    const QString strDocked = strFolder + "/docked.png";
    bOk &= docked.save(strDocked);
    std::printf("%s\n", qPrintable(strDocked));
    return bOk ? 0 : 1;
}
