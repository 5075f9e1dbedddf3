#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QSlider>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "record/windows/PlayDlg.h"
#include "tests/app/CoreRig.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A silent mono 16-bit WAV file at 8 kHz of the given length.
void WriteWav(const std::string& path, double dSeconds) {
    const auto nData = static_cast<uint32_t>(dSeconds * 8000) * 2;
    const uint32_t header[] = {0x46464952, 36 + nData, 0x45564157, 0x20746d66, 16,   0x00010001,
                               8000,       16000,      0x00100002, 0x61746164, nData};
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(header), sizeof header);
    file << std::string(nData, '\0');
}

class PlayDlgTest : public ::testing::Test {
protected:
    CRadioCore& Core() { return m_rig.Core(); }
    // A recording on disk with its catalogue row, started nMinute past 14:10.
    std::string AddRecording(const std::string& strName, int nMinute, double dSeconds = 3.0,
                             const std::string& strStation = {}, const std::string& strMemo = {}) {
        const std::string path = m_rig.m_dir.File(strName);
        WriteWav(path, dSeconds);
        CFileListSet& files = Core().FileList();
        files.AddNew();
        files.m_BeginTime = "31-05-01 14:" + std::to_string(10 + nMinute) + ":00";
        files.m_Duration = "00:00:03";
        files.m_FileName = path;
        files.m_Channel = "FM 98.10MHz";
        files.m_ChannelName = strStation;
        files.m_Memo = strMemo;
        files.Update();
        return path;
    }
    CPlayDlg& Player() {
        if (!m_pPlayer) {
            m_pPlayer = std::make_unique<CPlayDlg>(&Core(), nullptr);
            m_pPlayer->Create();
            m_pPlayer->FillList();
        }
        return *m_pPlayer;
    }
    QTreeWidget& List() { return *Player().GetDlgItemAs<QTreeWidget>(CPlayDlg::IDC_LIST); }
    QSlider& Slider() { return *Player().GetDlgItemAs<QSlider>(CPlayDlg::IDC_POSITION); }
    void Select(int nRow) { List().setCurrentItem(List().topLevelItem(nRow)); }
    void Click(int nId) { Player().GetDlgItemAs<QAbstractButton>(nId)->click(); }
    bool Playing() const { return m_rig.m_pCore->AudioGraph().IsPlaybackOpen(); }
    int Muted() { return Core().ReceiverMute(); }
    std::vector<std::string> CatalogueFiles() {
        std::vector<std::string> names;
        const SDbResult rows = m_rig.m_dataSource.Query("SELECT FileName FROM FileList");
        for (const auto& row : rows.m_rows) {
            names.push_back(fs::path(std::get<std::string>(row[0])).filename().string());
        }
        return names;
    }
    static void Pump(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }

    CCoreRig m_rig;
    std::unique_ptr<CPlayDlg> m_pPlayer;
};

TEST_F(PlayDlgTest, PlaysRoundTheListMutingTheReceiverUntilStop) {
    for (int n : {2, 0, 1}) {
        AddRecording("r" + std::to_string(n) + ".wav", n);
    }
    EXPECT_EQ(List().topLevelItem(2)->text(1), "31-05-01 14:12:00");  // by start time
    Select(2);
    Player().OnListDblClk();
    EXPECT_EQ(Player().CurrentIndex(), 2);
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Muted(), 1);

    Click(CPlayDlg::IDC_NEXT);  // past the last: the first
    EXPECT_EQ(Player().CurrentIndex(), 0);
    EXPECT_TRUE(List().topLevelItem(0)->isSelected());
    Click(CPlayDlg::IDC_PREVIOUS);  // before the first: the last
    EXPECT_EQ(Player().CurrentIndex(), 2);

    Click(CPlayDlg::IDC_PLAY_PAUSE);  // the playing row is selected
    EXPECT_TRUE(Core().AudioGraph().IsPaused());
    Click(CPlayDlg::IDC_PLAY_PAUSE);
    EXPECT_FALSE(Core().AudioGraph().IsPaused());
    EXPECT_EQ(Player().CurrentIndex(), 2);

    Click(CPlayDlg::IDC_STOP);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Muted(), 0);
}

TEST_F(PlayDlgTest, TheNextRowStartsAtTheLastWholeSecondOfAPlayingOne) {
    AddRecording("long.wav", 1, 9.6);
    AddRecording("blip.wav", 2, 0.4);
    AddRecording("other.wav", 3);
    Select(0);
    Player().OnListDblClk();
    EXPECT_EQ(Slider().maximum(), 9);
    Slider().setValue(9);
    Player().OnSliderReleased();  // seeks to 9.0 s
    // The rest of the row plays out and the next one starts.
    ASSERT_TRUE(WaitUntil([this] { return Player().CurrentIndex() == 1; }, 10s,
                          [] { QApplication::processEvents(QEventLoop::AllEvents, 10); }));

    // Stopped, a recording shorter than a second looks played out at 0.
    EXPECT_EQ(Slider().maximum(), 0);
    Click(CPlayDlg::IDC_STOP);
    Player().OnSliderReleased();  // nothing open: no seek
    Pump(700ms);                  // time for a row that wrongly played on to end
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Player().CurrentIndex(), 1);
}

// The window says what plays and how far it got; a click on the bar goes to
// the place clicked, not a page further.
TEST_F(PlayDlgTest, ItShowsTheFileAndTimeAndAClickSeeksWhereItPoints) {
    EXPECT_EQ(CPlayDlg::TimeText(65.4, 2700.0), "1:05 / 45:00");
    EXPECT_EQ(CPlayDlg::TimeText(0.0, 3725.0), "0:00:00 / 1:02:05");

    AddRecording("20261209180000.wav", 1, 20.0);
    Player().resize(320, 280);
    Select(0);
    Player().OnListDblClk();
    EXPECT_EQ(Player().GetDlgItemText(CPlayDlg::IDC_PLAYING), "20261209180000.wav");
    EXPECT_EQ(Player().GetDlgItemText(CPlayDlg::IDC_TIME), "0:00 / 0:20");

    QSlider& slider = Slider();
    ASSERT_EQ(slider.maximum(), 20);
    const QPointF at(slider.width() * 0.75, slider.height() / 2.0);
    for (QEvent::Type eType : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(eType, at, slider.mapToGlobal(at), Qt::LeftButton,
                          eType == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&slider, &event);
    }
    EXPECT_NEAR(slider.value(), 15, 2);
    // The release seeks queued; the position follows on the next tick.
    EXPECT_TRUE(WaitUntil([this] { return Core().AudioGraph().GetPosition() >= 12.0; }, 10s,
                          [] { QApplication::processEvents(QEventLoop::AllEvents, 10); }));

    Click(CPlayDlg::IDC_STOP);
    EXPECT_EQ(Player().GetDlgItemText(CPlayDlg::IDC_PLAYING), "");
    EXPECT_EQ(Player().GetDlgItemText(CPlayDlg::IDC_TIME), "");
}

TEST_F(PlayDlgTest, DeletingThePlayingRowPlaysTheOneInItsPlace) {
    const std::string first = AddRecording("a.wav", 1);
    const std::string playing = AddRecording("b.wav", 2);
    const std::string third = AddRecording("c.wav", 3);
    Select(1);
    Player().OnListDblClk();

    Click(CPlayDlg::IDC_DELETE);
    EXPECT_FALSE(fs::exists(playing));
    EXPECT_EQ(CatalogueFiles(), (std::vector<std::string>{"a.wav", "c.wav"}));
    EXPECT_EQ(Player().CurrentIndex(), 1);
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Muted(), 1);

    // A row above the playing one: the current row is still the one playing.
    Select(0);
    Click(CPlayDlg::IDC_DELETE);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_EQ(Player().CurrentIndex(), 0);
    Select(0);
    Click(CPlayDlg::IDC_PLAY_PAUSE);
    EXPECT_TRUE(Core().AudioGraph().IsPaused());

    Core().FileList().Close();  // the catalogue refuses: file and row stay
    Click(CPlayDlg::IDC_DELETE);
    EXPECT_TRUE(fs::exists(third));
    EXPECT_EQ(List().topLevelItemCount(), 1);
    EXPECT_EQ(m_rig.m_boxes.Shown().size(), 1u);
}

TEST_F(PlayDlgTest, SaveAsAddsTheRecordingsExtensionAndReplacesOnlyWhatWasConfirmed) {
    const std::string source = AddRecording("a.wav", 1);
    std::string strChosen;
    QString strFilter;
    Player().SetSaveFileDialog([&](QWidget*, const QString& filter, const std::string&) {
        strFilter = filter;
        return strChosen;
    });
    Select(0);

    strChosen = m_rig.m_dir.File("copy");
    Click(CPlayDlg::IDC_SAVE_AS);
    EXPECT_TRUE(strFilter.startsWith("WAV File (*.wav)"));
    EXPECT_EQ(fs::file_size(strChosen + ".wav"), fs::file_size(source));  // as the recording has it

    strChosen = m_rig.m_dir.File("other.Wav");  // confirmed by the dialog: replaced
    std::ofstream(strChosen) << "old";
    Click(CPlayDlg::IDC_SAVE_AS);
    EXPECT_EQ(fs::file_size(strChosen), fs::file_size(source));
    EXPECT_FALSE(fs::exists(strChosen + ".wav"));

    strChosen = m_rig.m_dir.File("copy");  // copy.wav exists, nobody confirmed it
    std::ofstream(strChosen + ".wav") << "mine";
    Click(CPlayDlg::IDC_SAVE_AS);
    EXPECT_EQ(fs::file_size(strChosen + ".wav"), 4u);
    EXPECT_EQ(m_rig.m_boxes.Shown().size(), 1u);
}

// The dialog opens with the recording's name, in the folder of the last copy
// (the Music folder, or home, before the first).
TEST_F(PlayDlgTest, SaveAsProposesTheRecordingsNameInTheLastFolder) {
    AddRecording("20261209180000.wav", 1);
    std::vector<std::string> proposed;
    Player().SetSaveFileDialog([&](QWidget*, const QString&, const std::string& strProposed) {
        proposed.push_back(strProposed);
        return m_rig.m_dir.File("copies/mine.wav");
    });
    fs::create_directories(m_rig.m_dir.Path() / "copies");
    Select(0);
    Click(CPlayDlg::IDC_SAVE_AS);
    Click(CPlayDlg::IDC_SAVE_AS);
    ASSERT_EQ(proposed.size(), 2u);
    EXPECT_EQ(fs::path(proposed[0]).filename(), "20261209180000.wav");
    EXPECT_TRUE(fs::is_directory(fs::path(proposed[0]).parent_path())) << proposed[0];
    EXPECT_EQ(proposed[1], m_rig.m_dir.File("copies/20261209180000.wav"));
}

// Nothing goes until the user says so; the question names the file.
TEST_F(PlayDlgTest, DeletingAsksFirstAndKeepsEverythingOnNo) {
    const std::string path = AddRecording("a.wav", 1);
    Select(0);
    m_rig.m_boxes.SetConfirm(false);
    Click(CPlayDlg::IDC_DELETE);
    ASSERT_EQ(m_rig.m_boxes.Questions().size(), 1u);
    EXPECT_EQ(m_rig.m_boxes.Questions()[0].text,
              "Delete this recording? Its file and its entry in the list are removed.\n" + path);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(CatalogueFiles(), (std::vector<std::string>{"a.wav"}));
    EXPECT_EQ(List().topLevelItemCount(), 1);

    m_rig.m_boxes.SetConfirm(true);
    Click(CPlayDlg::IDC_DELETE);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(CatalogueFiles().empty());
}

// The boxes of the player speak the language of the language file.
TEST_F(PlayDlgTest, FailuresAreToldInTheLanguageOfTheLanguageFile) {
    std::ofstream(m_rig.m_dir.File("Language.ini"))
        << "[Language]\nTOTAL=1\nLANGUAGE_1=English\n"
           "[English]\nPL_WINTITLE=Played\nMESSAGE_18=Not removed.\n"
           "MESSAGE_19=Already there.\nMESSAGE_20=Not copied.\n";
    const std::string source = AddRecording("a.wav", 1);
    EXPECT_EQ(Player().windowTitle(), "Played");
    EXPECT_EQ(Player().GetDlgItemText(CPlayDlg::IDC_TITLE), "Played");
    std::ofstream(m_rig.m_dir.File("taken.wav")) << "mine";
    std::string strChosen;
    Player().SetSaveFileDialog(
        [&](QWidget*, const QString&, const std::string&) { return strChosen; });
    Select(0);

    strChosen = m_rig.m_dir.File("taken");  // taken.wav exists, nobody confirmed it
    Click(CPlayDlg::IDC_SAVE_AS);
    strChosen = m_rig.m_dir.File("no-such-folder/copy.wav");
    Click(CPlayDlg::IDC_SAVE_AS);
    Core().FileList().Close();
    Click(CPlayDlg::IDC_DELETE);

    const std::vector<SShownMessageBox>& boxes = m_rig.m_boxes.Shown();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Already there.\n" + m_rig.m_dir.File("taken.wav"));
    EXPECT_EQ(boxes[1].text.rfind("Not copied.\n" + strChosen + ": ", 0), 0u) << boxes[1].text;
    EXPECT_EQ(boxes[2].text.rfind("Not removed.", 0), 0u) << boxes[2].text;
    EXPECT_TRUE(fs::exists(source));
}

// Enter has no command in the player: it neither closes it nor stops it.
TEST_F(PlayDlgTest, EnterLeavesThePlayerOpenAndPlaying) {
    AddRecording("a.wav", 1, 30.0);
    Player().show();
    Player().Play(0);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&List(), &press);
    QApplication::processEvents();
    EXPECT_TRUE(Player().IsWindow());
    EXPECT_TRUE(Player().isVisible());
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Muted(), 1);
}

TEST_F(PlayDlgTest, PlayingWhileRecordingCataloguesTheRecordingFirst) {
    AddRecording("a.wav", 1);
    Player();
    ASSERT_TRUE(Core().StartRecording());
    Select(0);
    Player().OnListDblClk();
    EXPECT_EQ(Core().Recording(), 0);
    EXPECT_EQ(CatalogueFiles().size(), 2u);
    EXPECT_TRUE(Playing());
}

TEST_F(PlayDlgTest, TheCloseBoxStopsUnmutesAndFreesTheWindow) {
    AddRecording("a.wav", 1);
    QPointer<CPlayDlg> pPlayer = new CPlayDlg(&Core(), nullptr);
    pPlayer->setAttribute(Qt::WA_DeleteOnClose);
    pPlayer->Create();
    pPlayer->FillList();
    pPlayer->Play(0);
    ASSERT_EQ(Muted(), 1);
    pPlayer->close();
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Muted(), 0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(pPlayer.isNull());
}

TEST_F(PlayDlgTest, TheSearchFindsRecordingsByStationMemoAndDateAndKeepsTheOnePlaying) {
    AddRecording("news.wav", 0, 3.0, "Kestrel FM", "Morning news");
    AddRecording("jazz.wav", 1, 3.0, "Radio Jazz", "Evening concert");
    AddRecording("talk.wav", 2, 3.0, "Kestrel FM", "Talk show");
    EXPECT_EQ(List().topLevelItem(0)->text(3), "Kestrel FM");
    EXPECT_EQ(List().topLevelItem(1)->text(4), "Evening concert");
    const auto listed = [this] {
        std::vector<std::string> memos;
        for (int n = 0; n < List().topLevelItemCount(); ++n) {
            memos.push_back(List().topLevelItem(n)->text(4).toStdString());
        }
        return memos;
    };
    QLineEdit& search = *Player().GetDlgItemAs<QLineEdit>(CPlayDlg::IDC_SEARCH);
    EXPECT_FALSE(search.accessibleName().isEmpty());

    Select(2);
    Player().OnListDblClk();
    ASSERT_EQ(Player().CurrentIndex(), 2);
    search.setText("kestrel");  // case does not count
    EXPECT_EQ(listed(), (std::vector<std::string>{"Morning news", "Talk show"}));
    EXPECT_EQ(Player().CurrentIndex(), 1);  // still the talk show, now the second row
    Click(CPlayDlg::IDC_NEXT);
    EXPECT_EQ(Player().CurrentIndex(), 0);  // round the rows found

    search.setText("kestrel talk");  // every word
    EXPECT_EQ(listed(), (std::vector<std::string>{"Talk show"}));
    EXPECT_EQ(Player().CurrentIndex(), -1);  // the news is not listed
    search.setText("2031-05-01 14:11");
    EXPECT_EQ(listed(), (std::vector<std::string>{"Evening concert"}));
    search.setText("nothing like it");
    EXPECT_TRUE(listed().empty());
    search.clear();
    EXPECT_EQ(listed().size(), 3u);
}

}  // namespace
