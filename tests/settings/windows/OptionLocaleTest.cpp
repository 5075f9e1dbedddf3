#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "settings/Language.h"
#include "settings/windows/OptionDlg.h"
#include "skin/SkinEngine.h"
#include "tests/app/CoreRig.h"
#include "tests/settings/ScopedLocale.h"

// The options window as a new user first sees it: the shipped language file,
// no profile, the desktop's locale. Rendered offscreen, so that what counts
// is what the fonts of this machine draw.
namespace {

constexpr int kLabels[] = {1039, 1040, 1041, 1042, 1043, 1044, 1045};
constexpr const char* kLabelKeys[] = {"OP_STANDARD",  "OP_SCANLEVEL",  "OP_INPUTDEVICE",
                                      "OP_INPUTPORT", "OP_RECORDTYPE", "OP_RECORDQUALITY",
                                      "OP_RECORDPATH"};

// Pixels that are not the background: what the text put on the page.
int Ink(const QImage& image) {
    const QRgb background = image.pixel(0, 0);
    int nInk = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            nInk += image.pixel(x, y) != background;
        }
    }
    return nInk;
}

QImage Render(const QString& strText, const QFont& font) {
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(strText) + 8, metrics.height() + 8,
                 QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(4, 4 + metrics.ascent(), strText);
    return image;
}

// Where a machine has no font for a script, every character of it comes out
// as the same empty box (or nothing): distinct characters that draw alike,
// or like a code point no font has, were never drawn.
void ExpectRealGlyphs(const QString& strText, const QFont& font) {
    const QImage missing = Render(QString(QChar(0x0378)), font);  // unassigned
    std::vector<QImage> glyphs;
    for (const QChar c : strText) {
        if (c.isSpace()) {
            continue;
        }
        QImage glyph = Render(QString(c), font);
        EXPECT_GT(Ink(glyph), 4) << "no ink for U+" << std::hex << int{c.unicode()};
        EXPECT_NE(glyph, missing) << "U+" << std::hex << int{c.unicode()} << " draws as a box";
        glyphs.push_back(std::move(glyph));
    }
    for (size_t i = 1; i < glyphs.size(); ++i) {
        if (strText[static_cast<qsizetype>(i)] != strText[0]) {
            EXPECT_NE(glyphs[i], glyphs[0]) << strText.toStdString() << ": all alike";
        }
    }
}

class OptionLocaleTest : public ::testing::Test {
protected:
    OptionLocaleTest() {
        std::filesystem::copy_file(KESTREL_SHIPPED_LANGUAGE, m_rig.m_dir.File("Language.ini"));
        // The fixture writes only the record folder; a new user has no language.
        EXPECT_EQ(m_rig.m_profile.GetProfileString("SET", "LANGUAGE"), "");
        m_skin.Initialise("KestrelFM");
        m_skin.LoadSkin("SKIN", "KESTRELSKIN");
        m_owner.setGeometry(100, 100, 640, 400);
        m_owner.show();
    }

    COptionDlg& Open() {
        m_pDialog = new COptionDlg(&m_rig.Core(), &m_skin, &m_owner);
        m_pDialog->setWindowFlag(Qt::Tool);
        m_pDialog->setAttribute(Qt::WA_DeleteOnClose);
        EXPECT_TRUE(m_pDialog->Create()) << m_pDialog->LastError();
        m_pDialog->show();
        return *m_pDialog;
    }
    std::string Shipped(const char* pSection, const std::string& strKey) const {
        return m_shipped.ReadString(pSection, strKey);
    }
    QComboBox& Languages() { return *m_pDialog->GetDlgItemAs<QComboBox>(COptionDlg::IDC_LANGUAGE); }
    QStringList LanguageItems() {
        QStringList items;
        for (int n = 0; n < Languages().count(); ++n) {
            items << Languages().itemText(n);
        }
        return items;
    }
    // The texts of the window in one section of the shipped file.
    void ExpectTextsOf(const char* pSection) {
        EXPECT_EQ(m_pDialog->windowTitle().toStdString(), Shipped(pSection, "OP_WINTITLE"));
        for (size_t n = 0; n < std::size(kLabels); ++n) {
            const std::string strText = Shipped(pSection, kLabelKeys[n]);
            EXPECT_FALSE(strText.empty()) << kLabelKeys[n];
            EXPECT_EQ(m_pDialog->GetDlgItemText(kLabels[n]), strText) << kLabelKeys[n];
        }
        EXPECT_EQ(m_pDialog->GetDlgItemText(CDialog::IDCANCEL), Shipped(pSection, "ALL_CANCLE"));
        EXPECT_EQ(LanguageItems(),
                  (QStringList{QString::fromStdString(Shipped(pSection, "OP_LANGUAGE_1")),
                               QString::fromStdString(Shipped(pSection, "OP_LANGUAGE_2"))}));
    }
    // The whole window drawn, and each label drawn with ink.
    void ExpectDrawn() {
        const QImage window = m_pDialog->grab().toImage();
        ASSERT_FALSE(window.isNull());
        EXPECT_TRUE(window.save(QString::fromStdString(m_rig.m_dir.File("options.png"))));
        for (int nId : kLabels) {
            const QImage label = m_pDialog->GetDlgItem(nId)->grab().toImage();
            EXPECT_GT(Ink(label), 10) << "label " << nId << " is blank";
        }
    }

    CCoreRig m_rig;
    CLanguage m_shipped{KESTREL_SHIPPED_LANGUAGE};
    CSkinEngine m_skin;
    QWidget m_owner;
    QPointer<COptionDlg> m_pDialog;
};

TEST_F(OptionLocaleTest, AnEnglishDesktopWithoutAProfileGetsEnglishTexts) {
    CScopedLocale locale("en_US.UTF-8");
    Open();
    EXPECT_EQ(m_rig.Core().Language(), "English");
    ExpectTextsOf("English");
    // The list shows the language in use, so that OK keeps it.
    EXPECT_EQ(Languages().currentIndex(), 0);
    EXPECT_EQ(Languages().currentText().toStdString(), Shipped("English", "OP_LANGUAGE_1"));
    ExpectDrawn();
}

TEST_F(OptionLocaleTest, AJapaneseDesktopGetsJapaneseTextsDrawnInJapaneseGlyphs) {
    CScopedLocale locale("ja_JP.UTF-8");
    Open();
    EXPECT_EQ(m_rig.Core().Language(), "Japanese");
    ExpectTextsOf("Japanese");
    EXPECT_EQ(Languages().currentIndex(), 1);
    ExpectDrawn();

    const QFont labelFont = m_pDialog->GetDlgItem(kLabels[0])->font();
    for (size_t n = 0; n < std::size(kLabels); ++n) {
        ExpectRealGlyphs(QString::fromStdString(Shipped("Japanese", kLabelKeys[n])), labelFont);
    }
    // The names in the language list, by which a user finds English.
    for (const QString& strName : LanguageItems()) {
        ExpectRealGlyphs(strName, Languages().font());
    }
}

// Once chosen in the options, the language no longer follows the locale.
TEST_F(OptionLocaleTest, TheLanguageChosenWithOkIsKeptWhateverTheLocale) {
    {
        CScopedLocale locale("ja_JP.UTF-8");
        Open();
        Languages().setCurrentIndex(0);
        m_pDialog->GetDlgItemAs<QAbstractButton>(CDialog::IDOK)->click();
        EXPECT_EQ(m_rig.m_profile.GetProfileInt("SET", "LANGUAGE", -5), 0);
        EXPECT_EQ(m_rig.Core().Language(), "English");
    }
    CScopedLocale locale("ja_JP.UTF-8");
    Open();
    EXPECT_EQ(m_pDialog->windowTitle().toStdString(), Shipped("English", "OP_WINTITLE"));
    EXPECT_EQ(Languages().currentIndex(), 0);
}

}  // namespace
