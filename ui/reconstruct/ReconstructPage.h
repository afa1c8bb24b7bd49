#pragma once

#include "app/JobSinks.h"
#include "ui/ControlTable.h"
#include "ui/TabPage.h"

#include <QStringList>

#include <functional>

class CDlgBase;
class CDropField;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;

namespace quippet {
class CSettings;
}

/// The "XMLの再構成" page: a list of comment files and the settings of the reconstruction, split and
/// cut-out jobs that run over it. Every setting control is in the page's control table; the jobs get the
/// window's settings with the controls laid over them.
class CDlgDD : public CTabPage {
    Q_OBJECT
public:
    /// Columns of the file list: the path, the job's state and its result (the jobs fill the last two).
    enum Column { column_path = 0, column_status = 1, column_result = 2 };

    explicit CDlgDD(QWidget* parent = nullptr);

    /// The window whose settings and job frame the page uses; set once by the window.
    void attach(CDlgBase* window);

    const CControlTable& controls() const { return table_; }
    void load_controls(const quippet::CSettings& from);
    void save_controls(quippet::CSettings& into) const;
    /// The window's settings with the controls laid over them, as a job would get them.
    quippet::CSettings snapshot() const;

    /// The listed files in list order.
    QStringList files() const;
    bool busy() const { return busy_; }
    QTabWidget* sections() const { return sections_; }
    QListWidget* preset_list() const { return presets_; }
    QLineEdit* video_field() const;
    CDropField* rename_field() const { return rename_; }
    CDropField* survey_field() const { return survey_; }
    QPushButton* button(const QString& caption) const;

    /// Replaces the message box for the page's notices (tests answer it); empty: the window's.
    void set_message_hook(std::function<void(const QString&)> hook) { message_hook_ = std::move(hook); }

public Q_SLOTS:
    /// Files and folders dropped on the list: "クリア" empties it first, "下層" and "条件" decide what a
    /// folder gives.
    void drop_paths(const QStringList& paths);
    void clear_list();
    void remove_selected();
    /// Moves the selected rows up (-1) or down (+1).
    void move_selected(int delta);

    void run_reconstruct();
    void run_split();
    void run_cut();
    void stop_job();

    void refresh_presets();
    void save_preset_new();
    void save_preset_overwrite();
    void restore_preset(const QString& name);

    void rename_dropped(const QString& path);
    void survey_dropped(const QString& path);
    void set_video(const QString& path);

private:
    QWidget* build_list_page();
    QWidget* build_delete_page();
    QWidget* build_timing_page();
    QWidget* build_merge_page();
    QWidget* build_split_page();
    QWidget* build_preset_page();
    QPushButton* file_button(const QString& caption, const char* file_name, QWidget* parent);
    bool start(quippet::JobKind kind);
    void job_done();
    void update_busy();
    void update_video_colour();
    void log_line(std::u16string_view text);
    void notify(const QString& text);
    bool eventFilter(QObject* watched, QEvent* event) override;

    CDlgBase* window_ = nullptr;
    CControlTable table_;
    QTabWidget* sections_;
    QListWidget* presets_ = nullptr;
    CDropField* rename_ = nullptr;
    CDropField* survey_ = nullptr;
    CDropField* video_ = nullptr;
    QList<QPushButton*> run_buttons_;
    QPushButton* stop_ = nullptr;
    bool busy_ = false;
    std::function<void(const QString&)> message_hook_;
};
