#include "ui/download/DownloadPage.h"

#include "app/ShellRules.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "ui/LogPane.h"
#include "ui/UiCall.h"

CDlgES::CDlgES(QWidget* parent) : CTabPage({}, parent) {}

void CDlgES::take_hand_over(const QString& text, bool from_reservation) {
    hand_overs_.append(text);
    const int id = from_reservation ? quippet::msg::kReservationTaken : quippet::msg::kHandOverReceived;
    std::u16string line(quippet::message_text(id));
    line += u"\r\n";
    // A hand-over may hold megabytes of paths; the pane shows the start of it, the page keeps it all.
    constexpr qsizetype shown_units = 2000;
    line += quippet::ui::to_u16(text.left(shown_units));
    if (text.size() > shown_units) line += u"…（全" + quippet::ui::to_u16(QString::number(text.size())) + u"文字）";
    CLogPane* pane = log_pane();
    // The log's own line modes: a new line unless the pane is empty.
    if (pane->length() > 0) line.insert(0, u"\r\n");
    pane->append(line);
}

void CDlgES::clipboard_changed() {
    ++clipboard_changes_;
}
