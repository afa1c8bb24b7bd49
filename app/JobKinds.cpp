#include "app/JobKinds.h"

namespace quippet {

namespace {

// Columns: end message, concurrent, exclusive, update item count, after-registration step.
constexpr std::array<JobKindInfo, job_kind_count> kinds = {{
    {u"分割が終了", true, false, false, false},
    {u"切り出しが終了", true, false, false, false},
    {u"再構成が終了", false, false, false, false},
    {u"実況ログの変換が終了", false, false, false, false},
    {u"ダウンロードが終了", false, false, true, false},
    {u"リスト登録が終了", false, true, true, true},
    {u"連鎖ダウンロードが終了", false, true, true, false},
    {u"検索結果のリスト登録が終了", false, true, true, false},
    {u"リスト登録が終了", false, true, true, true},
    {u"特殊ダウンロードが終了", true, false, false, false},
    {u"ログイン処理が終了", false, true, false, false},
    {u"更新チェックが終了", false, true, true, false},
    {u"ローカルファイルのリスト登録が終了", true, false, true, true},
    {u"2chブラウザへ送信終了", false, false, false, false},
    {u"フォルダ状態の更新終了", true, false, false, false},
    {u"フォルダ状態の自動更新終了", true, false, false, false},
    {u"フォルダ状態の更新終了", true, false, false, false},
    {u"サムネ表示の更新終了", false, false, false, false},
    {u"サムネ表示の更新終了", true, false, false, false},
    {u"ローカルファイルのリスト登録が終了", true, false, true, true},
    {u"ブランクアイテム起点のリスト登録が終了", true, false, true, true},
    {u"リストファイルからの登録", false, false, false, false},
    {u"リストへの登録", false, false, false, false},
}};

} // namespace

const JobKindInfo* job_kind_info(int kind) {
    if (kind < 0 || kind >= job_kind_count) return nullptr;
    return &kinds[static_cast<std::size_t>(kind)];
}

std::u16string_view job_end_message(int kind) {
    if (kind < 0) return u"想定外の状況が発生しました（スレッドの種類が予期しない番号でした）";
    if (kind >= job_kind_count) return u"処理が終了しました";
    return kinds[static_cast<std::size_t>(kind)].end_message;
}

bool may_admit(const std::array<int, job_kind_count>& running, int kind) {
    const JobKindInfo* info = job_kind_info(kind);
    if (info == nullptr) return false;
    if (info->exclusive) {
        for (std::size_t k = 0; k < kinds.size(); ++k)
            if (kinds[k].exclusive && running[k] > 0) return false;
    }
    if (!info->concurrent && running[static_cast<std::size_t>(kind)] > 0) return false;
    if (is_paired_kind(kind) && (running[2] > 0 || running[3] > 0)) return false;
    return true;
}

} // namespace quippet
