#include "schedule/windows/TaskListDlg.h"

#include <QHeaderView>
#include <QMoveEvent>
#include <QPointer>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "core/RadioCore.h"
#include "platform/clock/Clock.h"
#include "platform/db/DBException.h"
#include "platform/dialogs/MessageBoxes.h"
#include "platform/names/KestrelNames.h"
#include "presets/PresetStore.h"
#include "schedule/NewTask.h"
#include "schedule/TaskOutcomes.h"
#include "schedule/TaskRules.h"
#include "schedule/TaskSeries.h"
#include "schedule/windows/NewTaskDlg.h"
#include "skin/CommandMap.h"
#include "skin/SkinEngine.h"

namespace {

constexpr std::pair<int, const char*> kTexts[] = {
    {CTaskListDlg::IDC_TITLE, "TA_WINTITLE"}, {CTaskListDlg::IDC_NEW, "TA_NEW"},
    {CTaskListDlg::IDC_DELETE, "TA_DELETE"},  {CTaskListDlg::IDC_EDIT, "TA_EDIT"},
    {CTaskListDlg::IDC_COPY, "TA_COPY"},      {CTaskListDlg::IDC_ENABLE, "TA_DISABLE"},
    {CDialog::IDCANCEL, "ALL_QUIT"},
};

struct SColumn {
    const char* pHeadingKey;
    int nWidth;
};
constexpr SColumn kColumns[] = {
    {"ALL_FREQUENCY", 115}, {"TA_BEGINTIME", 115}, {"TA_DURATION", 70},  {"TA_MEMO", 140},
    {"TA_OUTCOME", 120},    {"TA_REPEAT", 110},    {"TA_CONFLICT", 110},
};
constexpr int kEnabledRole = Qt::UserRole + 1;
constexpr int kConflictColumn = 6;
constexpr size_t kHistoryShown = 10;
constexpr int kOutcomeColumn = 4;

const char* OutcomeKey(STaskOutcome::EKind eKind) {
    switch (eKind) {
        case STaskOutcome::EKind::Recorded:
            return "TA_RECORDED";
        case STaskOutcome::EKind::Partial:
            return "TA_PARTIAL";
        case STaskOutcome::EKind::Missed:
            return "TA_MISSED";
        case STaskOutcome::EKind::Failed:
            break;
    }
    return "TA_FAILED";
}

}  // namespace

CTaskListDlg::CTaskListDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent)
    : CDialog(kTemplateId, pSkin, pParent), m_bridge(pCore->Services().scheduler), m_pCore(pCore) {
    Commands().On(IDC_NEW, CCommandMap::Clicked, [this] { OnNew(); });
    Commands().On(IDC_DELETE, CCommandMap::Clicked, [this] { OnDelete(); });
    Commands().On(IDC_EDIT, CCommandMap::Clicked, [this] { OnEdit(); });
    Commands().On(IDC_COPY, CCommandMap::Clicked, [this] { OnCopy(); });
    Commands().On(IDC_ENABLE, CCommandMap::Clicked, [this] { OnEnable(); });
}

QTreeWidget* CTaskListDlg::List() const {
    return GetDlgItemAs<QTreeWidget>(IDC_LIST);
}

bool CTaskListDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (SkinEngine()) {
        SkinEngine()->ApplySkin(this, "TaskListWin");
    }
    DockToOwner();
    SetTexts();
    SetUpColumns();
    if (QTreeWidget* pList = List()) {
        connect(pList, &QTreeWidget::itemSelectionChanged, this, &CTaskListDlg::ShowSelection);
    }
    FillList();
    return true;
}

// A key the language file lacks gives an empty text, as in every window.
void CTaskListDlg::SetTexts() {
    for (const auto& [nId, pKey] : kTexts) {
        SetDlgItemText(nId, m_pCore->GetText(pKey));
    }
    setWindowTitle(QString::fromStdString(m_pCore->GetText("TA_WINTITLE")));
}

void CTaskListDlg::SetUpColumns() {
    QTreeWidget* pList = List();
    if (!pList) {
        return;
    }
    QStringList headings;
    for (const SColumn& column : kColumns) {
        headings << QString::fromStdString(m_pCore->GetText(column.pHeadingKey));
    }
    pList->setColumnCount(static_cast<int>(std::size(kColumns)));
    pList->setHeaderLabels(headings);
    for (int n = 0; n < static_cast<int>(std::size(kColumns)); ++n) {
        pList->setColumnWidth(n, kColumns[n].nWidth);
        pList->headerItem()->setTextAlignment(n, Qt::AlignLeft | Qt::AlignVCenter);
    }
    pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    pList->setAllColumnsShowFocus(true);
    pList->header()->setSectionsMovable(true);
    pList->header()->setSectionsClickable(false);
}

void CTaskListDlg::FillList() {
    QTreeWidget* pList = List();
    if (!pList) {
        return;
    }
    pList->clear();
    CTaskSet& tasks = m_pCore->TaskSet();
    tasks.m_strFilter.clear();
    tasks.m_strSort = "BeginTime";
    if (!tasks.Requery()) {
        return;
    }
    CTaskOutcomes outcomes(m_pCore->Services().database);
    const std::map<int, STaskOutcome> ended = outcomes.All();
    const std::map<int, STaskRule> rules = CTaskRules(m_pCore->Services().database).All();
    std::vector<CTaskConflicts::STask> spans;
    for (; !tasks.IsEOF(); tasks.MoveNext()) {
        auto* pItem = new QTreeWidgetItem(pList);  // owned by the list
        pItem->setText(0,
                       QString::fromStdString(StationText(CTaskSet::ChannelWord(tasks.m_Channel))));
        pItem->setText(1, QString::fromStdString(BeginText(tasks.m_BeginTime)));
        pItem->setText(2, QString::fromStdString(DurationText(tasks.m_BeginTime, tasks.m_EndTime)));
        pItem->setText(3, QString::fromStdString(tasks.m_Memo));
        pItem->setData(0, Qt::UserRole, tasks.m_ID);
        if (const auto found = ended.find(tasks.m_ID); found != ended.end()) {
            ShowOutcome(*pItem, found->second);
        }
        const auto rule = rules.find(tasks.m_ID);
        const bool bEnabled = rule == rules.end() || rule->second.bEnabled;
        pItem->setData(0, kEnabledRole, bEnabled);
        if (rule != rules.end()) {
            pItem->setText(kRepeatColumn, QString::fromStdString(RepeatText(rule->second)));
        }
        if (rule != rules.end() && rule->second.Repeats()) {
            ShowHistory(*pItem, outcomes.History(tasks.m_ID, kHistoryShown));
        }
        spans.push_back(
            {tasks.m_ID, tasks.m_BeginTime, tasks.m_EndTime,
             rule != rules.end() ? std::optional<STaskRule>(rule->second) : std::nullopt});
    }
    ShowConflicts(spans);
    ShowSelection();
}

// Each task that would record at once with another names it by its station
// and next start, and the tooltip says when they meet.
void CTaskListDlg::ShowConflicts(const std::vector<CTaskConflicts::STask>& tasks) {
    const std::time_t now = m_pCore->Services().clock.Now();
    const auto conflicts = CTaskConflicts::Find(tasks, now, now + CNewTask::kConflictHorizon);
    QTreeWidget* pList = List();
    std::map<int, QString> names;
    for (int n = 0; n < pList->topLevelItemCount(); ++n) {
        const QTreeWidgetItem* pItem = pList->topLevelItem(n);
        names[pItem->data(0, Qt::UserRole).toInt()] =
            pItem->text(0).trimmed() + QLatin1Char(' ') + pItem->text(1);
    }
    for (int n = 0; n < pList->topLevelItemCount(); ++n) {
        QTreeWidgetItem* pItem = pList->topLevelItem(n);
        const int nTask = pItem->data(0, Qt::UserRole).toInt();
        QStringList others;
        QStringList meetings;
        for (const CTaskConflicts::SConflict& conflict : conflicts) {
            if (conflict.nFirst != nTask && conflict.nSecond != nTask) {
                continue;
            }
            const int nOther = conflict.nFirst == nTask ? conflict.nSecond : conflict.nFirst;
            others << names[nOther];
            meetings << names[nTask] + QStringLiteral("  /  ") + names[nOther] +
                            QStringLiteral(": ") + QString::fromStdString(BeginText(conflict.when));
        }
        pItem->setText(kConflictColumn, others.join(QStringLiteral(", ")));
        pItem->setToolTip(kConflictColumn, meetings.join(QLatin1Char('\n')));
    }
}

std::string CTaskListDlg::RepeatText(const STaskRule& rule) const {
    std::string strText;
    switch (rule.eRepeat) {
        case STaskRule::ERepeat::Once:
            break;
        case STaskRule::ERepeat::Daily:
            strText = m_pCore->GetText("NA_REPEAT_DAILY");
            break;
        case STaskRule::ERepeat::Weekly:
            strText = m_pCore->GetText("NA_REPEAT_WEEKLY");
            break;
        case STaskRule::ERepeat::EveryDays: {
            const QString strEvery = QString::fromStdString(m_pCore->GetText("NA_REPEAT_EVERY"));
            strText = QString(strEvery)
                          .replace(QLatin1Char('N'), QString::number(rule.nEveryDays))
                          .toStdString();
            break;
        }
        case STaskRule::ERepeat::Weekdays: {
            const QString strLetters = QString::fromStdString(m_pCore->GetText("NA_DAY_LETTERS"));
            QString strDays;
            for (int n = 0; n < 7 && strLetters.size() == 7; ++n) {
                if (rule.nWeekdays & (1 << ((n + 1) % 7))) {
                    strDays += strLetters[n];
                }
            }
            strText = strDays.toStdString();
            break;
        }
    }
    if (rule.nPadBefore != 0 || rule.nPadAfter != 0) {
        strText += (strText.empty() ? "" : " ") + std::string("-") +
                   std::to_string(rule.nPadBefore) + "/+" + std::to_string(rule.nPadAfter) + "'";
    }
    if (!rule.bEnabled) {
        strText +=
            (strText.empty() ? "" : " ") + std::string("(") + m_pCore->GetText("TA_DISABLED") + ")";
    }
    return strText;
}

int CTaskListDlg::SelectedTask() const {
    const QTreeWidget* pList = List();
    const QList<QTreeWidgetItem*> selected =
        pList ? pList->selectedItems() : QList<QTreeWidgetItem*>();
    return selected.isEmpty() ? 0 : selected.first()->data(0, Qt::UserRole).toInt();
}

void CTaskListDlg::ShowSelection() {
    const QTreeWidget* pList = List();
    const QList<QTreeWidgetItem*> selected =
        pList ? pList->selectedItems() : QList<QTreeWidgetItem*>();
    const bool bEnabled = selected.isEmpty() || selected.first()->data(0, kEnabledRole).toBool();
    SetDlgItemText(IDC_ENABLE, m_pCore->GetText(bEnabled ? "TA_DISABLE" : "TA_ENABLE"));
    for (int nId : {IDC_EDIT, IDC_COPY, IDC_ENABLE, IDC_DELETE}) {
        if (QWidget* pButton = GetDlgItem(nId)) {
            pButton->setEnabled(!selected.isEmpty());
        }
    }
}

// How a task that has run ended; the reason and the file in its tooltip.
void CTaskListDlg::ShowOutcome(QTreeWidgetItem& item, const STaskOutcome& outcome) const {
    item.setText(kOutcomeColumn,
                 QString::fromStdString(m_pCore->GetText(OutcomeKey(outcome.eKind))));
    std::string strDetail = outcome.strReason;
    if (!outcome.strFile.empty()) {
        strDetail += (strDetail.empty() ? "" : "\n") + outcome.strFile;
    }
    item.setToolTip(kOutcomeColumn, QString::fromStdString(strDetail));
}

// A repeating task's occurrences, the latest first: when each ended and how.
void CTaskListDlg::ShowHistory(QTreeWidgetItem& item,
                               const std::vector<STaskOutcome>& history) const {
    if (history.size() < 2) {
        return;  // the one outcome says it all
    }
    QStringList lines;
    for (const STaskOutcome& outcome : history) {
        std::string strLine =
            BeginText(outcome.ended) + "  " + m_pCore->GetText(OutcomeKey(outcome.eKind));
        if (!outcome.strFile.empty()) {
            strLine += "  " + outcome.strFile;
        }
        lines << QString::fromStdString(strLine);
    }
    item.setToolTip(kOutcomeColumn, lines.join(QLatin1Char('\n')));
}

// The new task dialog has no parent: were this window closed while it runs,
// it must not take the running dialog with it.
void CTaskListDlg::OnNew() {
    QPointer<CTaskListDlg> pSelf(this);
    CNewTaskDlg dialog(m_pCore, SkinEngine());
    const int nResult = dialog.DoModal();
    if (pSelf && IsWindow() && nResult == IDOK) {
        FillList();
    }
}

void CTaskListDlg::OnEdit() {
    if (const int nTask = SelectedTask(); nTask != 0) {
        OpenOn(nTask, true);
    }
}

void CTaskListDlg::OnCopy() {
    if (const int nTask = SelectedTask(); nTask != 0) {
        OpenOn(nTask, false);
    }
}

void CTaskListDlg::OpenOn(int nTask, bool bReplace) {
    QPointer<CTaskListDlg> pSelf(this);
    CNewTaskDlg dialog(m_pCore, SkinEngine());
    if (bReplace) {
        dialog.EditTask(nTask);
    } else {
        dialog.CopyTask(nTask);
    }
    const int nResult = dialog.DoModal();
    if (pSelf && IsWindow() && nResult == IDOK) {
        FillList();
    }
}

// A task whose work item cannot be given back says so; it stays disabled.
void CTaskListDlg::OnEnable() {
    const int nTask = SelectedTask();
    std::time_t end = 0;
    if (nTask == 0 || !m_pCore->TaskSet().GetEndTime(nTask, end)) {
        return;
    }
    const std::time_t begin = m_pCore->TaskSet().m_BeginTime;
    QTreeWidget* pList = List();
    const bool bEnable = !pList->selectedItems().first()->data(0, kEnabledRole).toBool();
    CTaskRules rules(m_pCore->Services().database);
    CTaskSeries series(rules, m_bridge, m_pCore->Services().database, m_pCore->StartFolder());
    const bool bDone =
        series.SetEnabled(nTask, bEnable, begin, end, m_pCore->Services().clock.Now());
    if (!bDone && bEnable) {
        series.SetEnabled(nTask, false, begin, end, m_pCore->Services().clock.Now());
        m_pCore->Services().messageBoxes.Show(&MessageTarget(), m_pCore->GetText("MESSAGE_75"),
                                              CRadioCore::kCaption, CMessageBoxes::EIcon::Warning);
    }
    FillList();
    for (int n = 0; n < pList->topLevelItemCount(); ++n) {
        if (pList->topLevelItem(n)->data(0, Qt::UserRole).toInt() == nTask) {
            pList->setCurrentItem(pList->topLevelItem(n));
        }
    }
}

void CTaskListDlg::OnDelete() {
    QTreeWidget* pList = List();
    const QList<QTreeWidgetItem*> selected =
        pList ? pList->selectedItems() : QList<QTreeWidgetItem*>();
    if (selected.isEmpty()) {
        return;
    }
    QTreeWidgetItem* pItem = selected.first();
    const int nId = pItem->data(0, Qt::UserRole).toInt();
    try {
        m_pCore->TaskSet().DeleteById(nId);
    } catch (const CDBException& error) {
        // The row is still there: so are its item and its work item.
        m_pCore->Services().messageBoxes.Show(&MessageTarget(), error.ErrorText(),
                                              CRadioCore::kCaption, CMessageBoxes::EIcon::Error);
        return;
    }
    delete pItem;
    m_bridge.m_strOwner = m_pCore->DataSourceId();
    m_bridge.DeleteWorkItem(KestrelNames::WorkItemName(nId));
    CTaskOutcomes(m_pCore->Services().database).Forget(nId);
    CTaskRules(m_pCore->Services().database).Forget(nId);
}

void CTaskListDlg::OnOK() {
    DestroyWindow();
}

void CTaskListDlg::OnCancel() {
    DestroyWindow();
}

void CTaskListDlg::moveEvent(QMoveEvent* pEvent) {
    CDialog::moveEvent(pEvent);
    SnapToOwner();
}

// The list shows the frequency a scheduled start tunes: the low 16 bits.
std::string CTaskListDlg::StationText(std::uint32_t nWord) {
    const CChannelWord word(nWord);
    return CPresetStore::ChannelText(word.Band(), word.TaskFrequency(), "");
}

std::string CTaskListDlg::BeginText(std::time_t begin) {
    std::tm local{};
    if (!localtime_r(&begin, &local)) {
        return {};
    }
    char sz[32];
    return std::strftime(sz, sizeof sz, "%y-%m-%d %H:%M", &local) ? std::string(sz) : std::string();
}

// A row whose end lies before its begin (written by hand) shows no length
// rather than a negative one.
std::string CTaskListDlg::DurationText(std::time_t begin, std::time_t end) {
    const long long nSpan = end > begin ? static_cast<long long>(end - begin) : 0;
    char sz[16];
    std::snprintf(sz, sizeof sz, "%02d:%02d:%02d", static_cast<int>(nSpan / 3600 % 24),
                  static_cast<int>(nSpan / 60 % 60), static_cast<int>(nSpan % 60));
    return sz;
}
