#pragma once

#include "lists/AnimeSchedule.h"
#include "lists/BookmarkTree.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <string_view>
#include <vector>

class CTreeBookmark;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSpinBox;

/// "ブックマークの追加／編集": the fields of a bookmark and the switches of its option text. Adding and
/// replacing go through the tree's editor, so the file is saved at once.
class CDlgSetBm : public QDialog {
    Q_OBJECT
public:
    explicit CDlgSetBm(CTreeBookmark& tree, QWidget* parent = nullptr);

    /// Fills the fields and switches from a bookmark.
    void set_fields(const QString& label, const QString& target, const QString& save_folder, const QString& options);
    QString label_text() const;
    QString target_text() const;
    QString save_folder_text() const;
    /// The option text the switches make.
    QString options_text() const;
    /// The line the last "作" button or the last refusal showed.
    QString message() const;
    /// How the window asks the same-target question (tests answer it). True for "OK".
    void set_question(std::function<bool(const QString& text)> ask) { ask_ = std::move(ask); }
    /// How the "作" button writes the current download list to a new list file (the page supplies it).
    void set_list_writer(std::function<int(std::u16string_view path)> writer) { write_list_ = std::move(writer); }

public Q_SLOTS:
    void set_label(const QString& text);
    void set_target(const QString& text);
    void set_save_folder(const QString& text);
    /// Applies an option text to the switches.
    void set_options(const QString& options);
    /// "追加する": true when the bookmark was added.
    bool add();
    void add_and_close();
    void replace_and_close();
    /// "作" beside the target and the save folder.
    void make_target();
    void make_save_folder();
    /// "自動": the name from the service when its setting is on (on a worker; the field fills when done).
    void auto_name();
    /// "特殊なブクマ：" picks a special target.
    void choose_special(int index);

Q_SIGNALS:
    /// "自動" has finished (with an empty name when none could be had).
    void auto_name_done(const QString& name);

private:
    quippet::BookmarkNode data() const;
    void show_message(const QString& text);

    CTreeBookmark& tree_;
    QLineEdit* label_;
    QLineEdit* target_;
    QLineEdit* folder_;
    QComboBox* special_;
    QCheckBox* depth_on_;
    QSpinBox* depth_;
    QCheckBox* subfolders_;
    QCheckBox* sort_on_;
    QComboBox* sort_;
    QCheckBox* page_on_;
    QCheckBox* page_limit_on_;
    QSpinBox* page_limit_;
    QCheckBox* mode_on_;
    QRadioButton* append_;
    QRadioButton* clear_;
    QCheckBox* thumb_on_;
    QComboBox* thumb_;
    QCheckBox* ratio_on_;
    QComboBox* ratio_;
    QSpinBox* ratio_value_;
    QCheckBox* update_on_;
    QCheckBox* update_thumb_;
    QCheckBox* update_date_;
    QLabel* message_;
    std::vector<std::u16string> unknown_options_;
    std::function<bool(const QString& text)> ask_;
    std::function<int(std::u16string_view path)> write_list_;
};

/// "今期アニメの追加": fetches the seasonal schedule and adds its programmes under the selected item.
class CDlgSetAnime : public QDialog {
    Q_OBJECT
public:
    explicit CDlgSetAnime(CTreeBookmark& tree, QWidget* parent = nullptr);

    const std::vector<quippet::AnimeEntry>& entries() const { return entries_; }
    QString message() const;

public Q_SLOTS:
    /// Fetches on a worker; `fetched` follows.
    void fetch();
    /// "最新話無料のアニメのみ登録" / "すべて登録".
    void add_free();
    void add_all();

Q_SIGNALS:
    void fetched(bool ok);

private:
    void take(int result, std::vector<quippet::AnimeEntry> entries, const QString& message);
    void add(bool free_only);

    CTreeBookmark& tree_;
    QListWidget* list_;
    QLabel* message_;
    std::vector<quippet::AnimeEntry> entries_;
};
