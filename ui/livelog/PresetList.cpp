#include "ui/livelog/PresetList.h"

#include "livelog/WcPreset.h"
#include "ui/UiCall.h"

using quippet::ui::to_qstring;
using quippet::ui::to_u16;

CListPreset::CListPreset(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void CListPreset::refresh(const std::u16string& folder) {
    const QString kept = selected_name();
    const QSignalBlocker block(this);
    clear();
    for (const std::u16string& name : quippet::WcPreset::list(folder))
        addItem(to_qstring(name));
    select_name(kept);
}

void CListPreset::set_style(bool grid_lines, int row_height) {
    QString sheet;
    if (grid_lines) sheet += QStringLiteral("QListWidget::item { border-bottom: 1px solid palette(mid); }");
    if (row_height > 0) sheet += QStringLiteral("QListWidget::item { height: %1px; }").arg(row_height);
    setStyleSheet(sheet);
}

QString CListPreset::selected_name() const {
    const QListWidgetItem* item = currentItem();
    return item != nullptr && item->isSelected() ? item->text() : QString();
}

std::vector<std::u16string> CListPreset::names() const {
    std::vector<std::u16string> out;
    for (int i = 0; i < count(); ++i)
        out.push_back(to_u16(item(i)->text()));
    return out;
}

bool CListPreset::select_name(const QString& name) {
    if (name.isEmpty()) return false;
    const QList<QListWidgetItem*> found = findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    setCurrentItem(found.front());
    found.front()->setSelected(true);
    return true;
}
