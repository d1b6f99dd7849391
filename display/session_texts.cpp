#include "display/session_texts.h"

#include "display/error_texts.h"

namespace waveharm {

std::string sessionNoteText(const SessionNote& note) {
    switch (note.kind) {
        case SessionNote::Kind::FolderUnreadable:
            return "フォルダを読めません：" + note.file;
        case SessionNote::Kind::Renamed:
            return "同じ名前のファイルを改名しました：" + note.file;
        case SessionNote::Kind::NotRenamed:
            return note.file + "：名前を変更できません（" + note.reason + "）";
        case SessionNote::Kind::NotARecording:
            // The list names the file and the fault; the reader's English stays out of it.
            return readErrorMessage(note.error, note.file, note.offset, "");
        case SessionNote::Kind::ReadFailed:
            return readErrorMessage(note.error, note.file, note.offset, note.reason);
        case SessionNote::Kind::ReadAborted:
            return "読み込めないファイルです：" + note.file;
    }
    return note.file;
}

}  // namespace waveharm
