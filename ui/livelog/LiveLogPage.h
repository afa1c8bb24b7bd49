#pragma once

#include "ui/ControlTable.h"
#include "ui/TabPage.h"

#include <QString>

#include <functional>
#include <string_view>

class CDlgBase;
class CListPreset;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

#include "app/JobFrame.h"

namespace quippet {
class CSettings;
}

/// The "実況ログ to XML" page: the fields of the live-log conversion and of the log-warehouse search, the
/// input aids that compute timing fields from each other, the presets of the fields, and a pasted source
/// text. Every field is in the page's control table; the aids and presets work on the settings the table
/// gives and the fields are loaded back from them.
class CDlgWC : public CTabPage {
    Q_OBJECT
public:
    explicit CDlgWC(QWidget* parent = nullptr);

    void attach(CDlgBase* window);

    const CControlTable& controls() const { return table_; }
    void load_controls(const quippet::CSettings& from);
    void save_controls(quippet::CSettings& into) const;
    quippet::CSettings snapshot() const;

    bool busy() const { return busy_; }
    CListPreset* preset_list() const { return presets_; }
    QLineEdit* preset_name() const { return preset_name_; }
    QPushButton* save_button() const { return save_; }
    QPlainTextEdit* source_edit() const { return source_; }
    QTabWidget* sections() const { return sections_; }
    QPushButton* button(const QString& caption) const;

    /// Replace the message boxes of the page (tests answer them); empty: real boxes.
    void set_message_hook(std::function<void(const QString&)> hook) { message_hook_ = std::move(hook); }
    void set_question_hook(std::function<bool(const QString&)> hook) { question_hook_ = std::move(hook); }

public Q_SLOTS:
    /// "変換": auto date (asking when it fails), the preset saved when asked to, the reconstruction preset
    /// loaded into the reconstruction tab, the NG-word file ensured, then the job.
    void convert();
    void stop_job();
    /// "過去ログ倉庫を探す": the search job over the fields as they are now.
    void search_warehouse();
    /// "クリップボード→\nブラウザ": the thread keys among the copied lines, sent for the chosen board.
    void send_copied_threads(const QString& copied);
    /// "手動" + "→".
    void send_manual_address(const QString& address);

    void shift_origin_forward();
    void shift_origin_back();
    void origin_from_warehouse();
    void warehouse_from_origin(int extra_days);
    void aids_from_times();
    void times_from_aids();
    void apply_nikojk();

    void open_source();
    void open_ng_words();
    void open_replace_table();
    void play();
    /// The pasted text into the source file; the file's text into the edit.
    void save_source_text();
    void reload_source_text();

    void refresh_presets();
    /// The save button as its caption says: "上書保存" or "新規作成".
    void save_preset();
    void restore_preset(const QString& name);
    void delete_preset();

private:
    QWidget* build_time_page();
    QWidget* build_convert_page();
    QWidget* build_source_page();
    QWidget* build_search_page();
    QWidget* build_preset_page();
    void update_save_caption();
    void fill_boards(const quippet::CSettings& settings);
    /// Runs an aid on the fields: `fn` changes the settings and returns a message, empty on success.
    void run_aid(const std::function<std::u16string(quippet::CSettings&)>& fn);
    void open_file(std::string_view name);
    void job_done();
    void update_busy();
    void start_search_job(quippet::JobFunction job);
    void log_line(std::u16string_view text);
    void notify(const QString& text);
    bool ask(const QString& text);

    CDlgBase* window_ = nullptr;
    CControlTable table_;
    QTabWidget* sections_;
    CListPreset* presets_ = nullptr;
    QLineEdit* preset_name_ = nullptr;
    QPushButton* save_ = nullptr;
    QPlainTextEdit* source_ = nullptr;
    QComboBox* boards_ = nullptr;
    QPushButton* convert_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* search_ = nullptr;
    QComboBox* forms_ = nullptr;
    QLineEdit* manual_address_ = nullptr;
    bool busy_ = false;
    std::function<void(const QString&)> message_hook_;
    std::function<bool(const QString&)> question_hook_;
};
