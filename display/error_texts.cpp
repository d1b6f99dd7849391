#include "display/error_texts.h"

#include <cerrno>

namespace waveharm {

std::string errorKindText(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::NotARegularFile:
            return "通常のファイルではありません（フォルダーまたは装置です）";
        case ErrorKind::CannotOpen:
            return "ファイルを開けません";
        case ErrorKind::CannotRead:
            return "ファイルを読み込めません";
        case ErrorKind::FolderUnreadable:
            return "フォルダーの内容を読み込めません";
        case ErrorKind::FileTooShort:
            return "ファイルが短すぎます（ヘッダーが途中で切れています）";
        case ErrorKind::NotARecording:
            return "メモリーハイコーダの波形ファイルの形式ではありません";
        case ErrorKind::InvalidHeaderValue:
            return "ヘッダーの設定値が正しくありません";
        case ErrorKind::DataOutsideFile:
            return "ヘッダーの示す長さや位置がファイルの終わりを越えています（ファイルが途中で切れ"
                   "ています）";
        case ErrorKind::BrokenLayout:
            return "ファイルの構造が壊れています";
        case ErrorKind::NoChannel:
            return "記録されたチャンネルがありません";
        case ErrorKind::NotAResultFile:
            return "結果ファイルの形式と合いません";
        case ErrorKind::NotAnalysable:
            return "この記録は解析できません";
        case ErrorKind::NoOutputName:
            return "出力ファイル名が設定されていません";
        case ErrorKind::CannotCreate:
            return "結果ファイルを作成できません";
        case ErrorKind::CannotWrite:
            return "結果ファイルに書き込めません";
        case ErrorKind::CannotClose:
            return "結果ファイルを閉じられません（最後の記録が保存されていない可能性があります）";
    }
    return "不明なエラーです";
}

std::string systemErrorText(int error) {
    switch (error) {
        case 0:
            return "";
        case EROFS:
            return "読み取り専用のドライブです";
        case ENOSPC:
            return "ディスクの空き容量がありません";
        case EACCES:
        case EPERM:
            return "アクセスが許可されていません";
        case ENOENT:
            return "フォルダーがありません";
        case EISDIR:
            return "同じ名前のフォルダーがあります";
        case ENOTDIR:
            return "パスの途中にフォルダーでないものがあります";
        case EIO:
            return "装置の入出力エラーです";
        case ENAMETOOLONG:
            return "ファイル名が長すぎます";
        default:
            return "システムエラー " + std::to_string(error);
    }
}

std::string readErrorMessage(ErrorKind kind, const std::string& file, std::int64_t offset,
                             const std::string& detail) {
    std::string text = file + "：" + errorKindText(kind);
    if (offset >= 0) text += "（" + std::to_string(offset) + " バイト目）";
    if (!detail.empty()) text += "\n詳細：" + detail;
    return text;
}

std::string limitErrorMessage(const std::string& file, int line, const std::string& detail) {
    std::string text = file + "：限度値表として使えません";
    if (line > 0) text += "（" + std::to_string(line) + " 行目）";
    if (!detail.empty()) text += "\n詳細：" + detail;
    return text;
}

std::string writeErrorMessage(ErrorKind kind, const std::string& file, int systemError) {
    std::string text = file + "：" + errorKindText(kind);
    const std::string reason = systemErrorText(systemError);
    if (!reason.empty()) text += "（" + reason + "）";
    return text;
}

}  // namespace waveharm
