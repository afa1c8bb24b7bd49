#include "app/JobKinds.h"

namespace quippet {

namespace {

constexpr std::u16string_view kGenericEnd = u"処理が終了しました";

// Columns: end message, concurrent, exclusive, update item count, after-registration step, paired.
constexpr std::array<JobKindInfo, job_kind_count> kinds = {{
    {u"分割が終了", true, false, false, false, false},
    {u"切り出しが終了", true, false, false, false, false},
    {u"再構成が終了", false, false, false, false, true},
    {u"実況ログの変換が終了", false, false, false, false, true},
    {u"ダウンロードが終了", false, false, true, false, false},
    {u"リスト登録が終了", false, true, true, true, false},
    {u"連鎖ダウンロードが終了", false, true, true, false, false},
    {u"検索結果のリスト登録が終了", false, true, true, false, false},
    {u"リスト登録が終了", false, true, true, true, false},
    {u"特殊ダウンロードが終了", true, false, false, false, false},
    {u"ログイン処理が終了", false, true, false, false, false},
    {u"更新チェックが終了", false, true, true, false, false},
    {u"ローカルファイルのリスト登録が終了", true, false, true, true, false},
    {u"2chブラウザへ送信終了", false, false, false, false, false},
    {u"フォルダ状態の更新終了", true, false, false, false, false},
    {u"フォルダ状態の自動更新終了", true, false, false, false, false},
    {u"フォルダ状態の更新終了", true, false, false, false, false},
    {u"サムネ表示の更新終了", false, false, false, false, false},
    {u"サムネ表示の更新終了", true, false, false, false, false},
    {u"ローカルファイルのリスト登録が終了", true, false, true, true, false},
    {u"ブランクアイテム起点のリスト登録が終了", true, false, true, true, false},
    {u"リストファイルからの登録", false, false, false, false, false},
    {u"リストへの登録", false, false, false, false, false},
    {kGenericEnd, true, false, false, false, false},
}};

static_assert(kinds[to_int(JobKind::kReconstruct)].paired && kinds[to_int(JobKind::kLiveLog)].paired);

} // namespace

const JobKindInfo& job_kind_info(JobKind kind) {
    return kinds[static_cast<std::size_t>(to_int(kind))];
}

std::u16string_view job_end_message(int kind) {
    if (kind < 0) return u"想定外の状況が発生しました（スレッドの種類が予期しない番号でした）";
    if (const std::optional<JobKind> known = job_kind_from_int(kind)) return job_kind_info(*known).end_message;
    return kGenericEnd;
}

bool may_admit(const std::array<int, job_kind_count>& running, JobKind kind) {
    const JobKindInfo& info = job_kind_info(kind);
    if (info.exclusive) {
        for (std::size_t k = 0; k < kinds.size(); ++k)
            if (kinds[k].exclusive && running[k] > 0) return false;
    }
    if (!info.concurrent && running[static_cast<std::size_t>(to_int(kind))] > 0) return false;
    if (info.paired) {
        for (std::size_t k = 0; k < kinds.size(); ++k)
            if (kinds[k].paired && running[k] > 0) return false;
    }
    return true;
}

} // namespace quippet
