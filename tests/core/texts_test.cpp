// Every text the updater shows or logs, written out here byte for byte and independently of
// texts.h: a changed character there (a small ェ for a large エ, a lost trailing blank) fails
// here, though every other test compares with the constants themselves.
#include "texts.h"

#include <gtest/gtest.h>

#include <string_view>

namespace qvt {
namespace {

struct Text {
    const char* name;
    std::string_view kept;
    std::string_view literal;
};

const Text kTexts[] = {
    {"kTitle", text::kTitle, "QVT-40 R3 Update v3.10"},
    {"kProgramVersion", text::kProgramVersion, "3.10"},
    {"kStartCaption", text::kStartCaption, "開始"},
    {"kForceCaption", text::kForceCaption, "強制的にアップデートを行う"},
    {"kCopyLog", text::kCopyLog, "ログをコピー"},
    {"kSaveLog", text::kSaveLog, "ログを保存..."},
    {"kImageError", text::kImageError, "エラーが発生しました\r\n再度やり直してください。"},
    {"kCloseWhileBusy", text::kCloseWhileBusy,
     "アップデート中はアプリケーションを終了できません。"},
    {"kCaptionCurrent", text::kCaptionCurrent, "アップデート済"},
    {"kMessageCurrent", text::kMessageCurrent,
     "QVT-40 "
     "R3は最新版のためアップデートの必要がありません。\r\nアプリケーションを終了してください。"},
    {"kCaptionMissing", text::kCaptionMissing, "QVT-40 R3 未接続"},
    {"kMessageMissing", text::kMessageMissing,
     "QVT-40 R3がみつかりません。\r\n接続されていることを確認してください。"},
    {"kCaptionSeveral", text::kCaptionSeveral, "複数デバイス接続中"},
    {"kMessageSeveral", text::kMessageSeveral,
     "QVT-40 R3が複数接続されています。\r\n1台のみ接続してからやり直してください。"},
    {"kCaptionNeeded", text::kCaptionNeeded, "アップデートを行ってください"},
    {"kMessageNeeded", text::kMessageNeeded,
     "QVT-40 R3のアップデートが必要です。\r\n開始ボタンをクリックしてください。. "},
    {"kBootSwitchStart", text::kBootSwitchStart, "ブートモード切替開始"},
    {"kBootLoaderNotFound", text::kBootLoaderNotFound,
     "ブートローダが見つかりません！\r\nやり直してください。 "},
    {"kEraseStart", text::kEraseStart, "イレース開始"},
    {"kEraseDone", text::kEraseDone, "イレース完了"},
    {"kEraseError", text::kEraseError, "イレースエラー"},
    {"kBlankStart", text::kBlankStart, "ブランクチェック開始"},
    {"kBlankDone", text::kBlankDone, "ブランクチェック完了"},
    {"kBlankError", text::kBlankError, "ブランクチェックエラー"},
    {"kProgramStart", text::kProgramStart, "プログラミング開始"},
    {"kProgramDone", text::kProgramDone, "プログラミング完了"},
    {"kVerifyStart", text::kVerifyStart, "ベリファイ開始"},
    {"kVerifyDone", text::kVerifyDone, "ベリファイ完了"},
    {"kVerifyError", text::kVerifyError, "ベリファイエラー"},
    {"kResetStart", text::kResetStart, "リセット開始"},
    {"kResetDone", text::kResetDone, "リセット完了"},
    {"kResetError", text::kResetError, "リセットエラー"},
    {"kUpdateStart", text::kUpdateStart, "アップデート開始"},
    {"kBootSwitchDone", text::kBootSwitchDone, "ブートモード切替完了"},
    {"kVersionCheckStart", text::kVersionCheckStart, "バージョンチェック開始"},
    {"kCaptionCompleted", text::kCaptionCompleted, "アップデート完了"},
    {"kCaptionCompletedOnRestart", text::kCaptionCompletedOnRestart, "Update completion"},
    {"kMessageCompleted", text::kMessageCompleted,
     "アップデート完了\r\nアプリケーションを終了してください。"},
    {"kMessageRunFailed", text::kMessageRunFailed,
     "アップデート中にエラーが発生しました。\r\n開始ボタンをクリックしてください。"},
    {"kEraseCount", logtext::kEraseCount, "[EraseDevice]OpenHid count:"},
    {"kEraseGaveUp", logtext::kEraseGaveUp, "[EraseDevice]OpenHid error!"},
    {"kEraseFailedFormat", logtext::kEraseFailedFormat,
     "[EraseDevice]erase error! (DevNum:%d / cnt:%d)"},
    {"kBlankCount", logtext::kBlankCount, "[BlankCheck]OpenHid count:"},
    {"kBlankGaveUp", logtext::kBlankGaveUp, "[BlankCheck]OpenHid error!"},
    {"kBlankFailedAt", logtext::kBlankFailedAt, "[BlankCheck]error! adr="},
    {"kProgramCount", logtext::kProgramCount, "[ProgramVerify]OpenHid count:"},
    {"kProgramGaveUp", logtext::kProgramGaveUp, "[ProgramVerify]OpenHid error!"},
    {"kProgramFailedAt", logtext::kProgramFailedAt, "[ProgramVerify]error! adr="},
    {"kProgramImageError", logtext::kProgramImageError, "[ProgramVerify]image error!"},
    {"kResetCount", logtext::kResetCount, "[ResetDevice]OpenHid count:"},
    {"kResetGaveUp", logtext::kResetGaveUp, "[ResetDevice]OpenHid error!"},
    {"kResetFailedFormat", logtext::kResetFailedFormat,
     "[ResetDevice]erase error! (DevNum:%d / retcnt:%d)"},
    {"kBootFoundAtTry", logtext::kBootFoundAtTry, "ChangeBootMode true: "},
    {"kBootNeverFound", logtext::kBootNeverFound, "CheckBootMode false!!"},
    {"kEraseStepFailed", logtext::kEraseStepFailed, "EraseDevice error"},
    {"kBlankStepFailed", logtext::kBlankStepFailed, "BlankCheck error"},
    {"kProgramStepFailed", logtext::kProgramStepFailed, "ProgramVerify error"},
    {"kResetStepFailed", logtext::kResetStepFailed, "ResetDevice error"},
    {"kVersionNotReadHere", logtext::kVersionNotReadHere,
     "[VersionCheck]boot loader gone after the reset; the version cannot be read on this system"},
    {"kNoAppDriverHere", logtext::kNoAppDriverHere,
     "no application-mode driver on this system: a unit in application mode cannot be seen here "
     "(see README.md, \"Real units on Linux\")"},
};

// Trailing blanks and the odd "。. " ending included: they are part of the texts.
TEST(Texts, EveryTextIsExactlyTheProductsOwn) {
    for (const Text& text : kTexts) EXPECT_EQ(text.kept, text.literal) << text.name;
}

}  // namespace
}  // namespace qvt
