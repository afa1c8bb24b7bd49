#include "text/OpenErrors.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "text/AppHome.h"

namespace quippet {

std::u16string_view open_error_text(int code) {
    switch (code) {
    case 0:
        return u"メモリまたはリソースが不足しています";
    case 2:
        return u"指定されたファイルが見つかりませんでした";
    case 3:
        return u"指定されたパスが見つかりませんでした";
    case 5:
        return u"オペレーティングシステムが、指定されたファイルへのアクセスを拒否しました";
    case 8:
        return u"操作を完了するのに十分なメモリがありません";
    case 11:
        return u".exe ファイルが無効です。Win32 の .exe ではないか、.exe イメージ内にエラーがあります";
    case 26:
        return u"共有違反が発生しました";
    case 27:
        return u"ファイル名の関連付けが不完全または無効です";
    case 28:
        return u"要求がタイムアウトしたので、DDE トランザクションを完了できませんでした";
    case 29:
        return u"DDE トランザクションが失敗しました";
    case 30:
        return u"ほかの DDE トランザクションが現在処理中なので、DDE トランザクションを完了できませんでした";
    case 31:
        return u"指定されたファイル拡張子に関連付けられたアプリケーションがありません";
    case 32:
        return u"指定されたダイナミックリンクライブラリ（DLL）が見つかりませんでした";
    default:
        return code > 32 ? u"" : u"謎のエラーです";
    }
}

int open_error_code(OpenFailure failure) {
    switch (failure) {
    case OpenFailure::FileMissing:
        return kOpenFileMissing;
    case OpenFailure::PathMissing:
        return kOpenPathMissing;
    case OpenFailure::NoHandler:
        return kOpenNoHandler;
    case OpenFailure::PermissionDenied:
        return kOpenAccessDenied;
    case OpenFailure::OutOfMemory:
        return kOpenOutOfMemory;
    }
    return kOpenUnknownFailure;
}

int open_error_code_from_errno(int error, std::u16string_view file) {
    switch (error) {
    case 0:
        return kOpenSucceeded;
    case ENOENT: {
        std::error_code ec;
        const auto folder = to_fs_path(file).parent_path();
        const bool folder_exists = folder.empty() || std::filesystem::is_directory(folder, ec);
        return open_error_code(folder_exists ? OpenFailure::FileMissing : OpenFailure::PathMissing);
    }
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return open_error_code(OpenFailure::PathMissing);
    case EACCES:
    case EPERM:
    case EROFS:
        return open_error_code(OpenFailure::PermissionDenied);
    case ENOMEM:
        return open_error_code(OpenFailure::OutOfMemory);
    default:
        return kOpenUnknownFailure;
    }
}

} // namespace quippet
