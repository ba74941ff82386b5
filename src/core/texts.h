#pragma once

#include <string_view>

// Every text the updater shows or logs, verbatim. Trailing blanks and the odd "。. " ending are
// part of the texts: the product has always shown them this way.
namespace qvt::text {

inline constexpr std::string_view kTitle = "QVT-40 R3 Update v3.10";
inline constexpr std::string_view kProgramVersion = "3.10";

// Controls
inline constexpr std::string_view kStartCaption = "開始";
inline constexpr std::string_view kForceCaption = "強制的にアップデートを行う";

// The log record, offered where the window offers it
inline constexpr std::string_view kCopyLog = "ログをコピー";
inline constexpr std::string_view kSaveLog = "ログを保存...";
// The box of a save that failed, above the file's name and the system's reason.
inline constexpr std::string_view kSaveLogFailed = "ログを保存できませんでした。";

// Window
inline constexpr std::string_view kImageError = "エラーが発生しました\r\n再度やり直してください。";
inline constexpr std::string_view kCloseWhileBusy =
    "アップデート中はアプリケーションを終了できません。";

// Start-up check
inline constexpr std::string_view kCaptionCurrent = "アップデート済";
inline constexpr std::string_view kMessageCurrent =
    "QVT-40 "
    "R3は最新版のためアップデートの必要がありません。\r\nアプリケーションを終了してください。";
inline constexpr std::string_view kCaptionMissing = "QVT-40 R3 未接続";
inline constexpr std::string_view kMessageMissing =
    "QVT-40 R3がみつかりません。\r\n接続されていることを確認してください。";
inline constexpr std::string_view kCaptionSeveral = "複数デバイス接続中";
inline constexpr std::string_view kMessageSeveral =
    "QVT-40 R3が複数接続されています。\r\n1台のみ接続してからやり直してください。";
// A unit whose version cannot be read: not called current, though Start waits for the force
// box as for a current one.
inline constexpr std::string_view kCaptionVersionUnread = "バージョン不明";
inline constexpr std::string_view kMessageVersionUnread =
    "QVT-40 "
    "R3のバージョンを読み取れません。\r\nアップデートする場合は「強制的にアップデートを行う」"
    "をチェックしてください。";
inline constexpr std::string_view kCaptionNeeded = "アップデートを行ってください";
inline constexpr std::string_view kMessageNeeded =
    "QVT-40 R3のアップデートが必要です。\r\n開始ボタンをクリックしてください。. ";

// Boot-mode request
inline constexpr std::string_view kBootSwitchStart = "ブートモード切替開始";

// Boot-loader procedures
inline constexpr std::string_view kBootLoaderNotFound =
    "ブートローダが見つかりません！\r\nやり直してください。 ";
inline constexpr std::string_view kEraseStart = "イレース開始";
inline constexpr std::string_view kEraseDone = "イレース完了";
inline constexpr std::string_view kEraseError = "イレースエラー";
inline constexpr std::string_view kBlankStart = "ブランクチェック開始";
inline constexpr std::string_view kBlankDone = "ブランクチェック完了";
inline constexpr std::string_view kBlankError = "ブランクチェックエラー";
inline constexpr std::string_view kProgramStart = "プログラミング開始";
inline constexpr std::string_view kProgramDone = "プログラミング完了";
inline constexpr std::string_view kVerifyStart = "ベリファイ開始";
inline constexpr std::string_view kVerifyDone = "ベリファイ完了";
inline constexpr std::string_view kVerifyError = "ベリファイエラー";
inline constexpr std::string_view kResetStart = "リセット開始";
inline constexpr std::string_view kResetDone = "リセット完了";
inline constexpr std::string_view kResetError = "リセットエラー";

// Update run
inline constexpr std::string_view kUpdateStart = "アップデート開始";
inline constexpr std::string_view kBootSwitchDone = "ブートモード切替完了";
inline constexpr std::string_view kVersionCheckStart = "バージョンチェック開始";
inline constexpr std::string_view kCaptionCompleted = "アップデート完了";
inline constexpr std::string_view kCaptionCompletedOnRestart = "Update completion";
inline constexpr std::string_view kMessageCompleted =
    "アップデート完了\r\nアプリケーションを終了してください。";
// A completion whose unit's version was not read back: verified and reset, the return not
// confirmed here (no driver to read it through, or a version query that failed).
inline constexpr std::string_view kCaptionCompletedUnconfirmed = "アップデート完了（未確認）";
inline constexpr std::string_view kMessageCompletedUnconfirmed =
    "アップデート完了\r\n再起動後のバージョンを確認できませんでした。\r\nアプリケーションを終了"
    "してください。";
inline constexpr std::string_view kMessageRunFailed =
    "アップデート中にエラーが発生しました。\r\n開始ボタンをクリックしてください。";

}  // namespace qvt::text

// Diagnostic log lines: English, each led by its procedure's tag.
namespace qvt::logtext {

inline constexpr std::string_view kEraseCount = "[EraseDevice]OpenHid count:";
inline constexpr std::string_view kEraseGaveUp = "[EraseDevice]OpenHid error!";
inline constexpr const char* kEraseFailedFormat = "[EraseDevice]erase error! (DevNum:%d / cnt:%d)";
inline constexpr std::string_view kBlankCount = "[BlankCheck]OpenHid count:";
inline constexpr std::string_view kBlankGaveUp = "[BlankCheck]OpenHid error!";
inline constexpr std::string_view kBlankFailedAt = "[BlankCheck]error! adr=";
inline constexpr std::string_view kProgramCount = "[ProgramVerify]OpenHid count:";
inline constexpr std::string_view kProgramGaveUp = "[ProgramVerify]OpenHid error!";
inline constexpr std::string_view kProgramFailedAt = "[ProgramVerify]error! adr=";
inline constexpr std::string_view kProgramImageError = "[ProgramVerify]image error!";
inline constexpr const char* kProgramEndFailedFormat =
    "[ProgramVerify]end error! (DevNum:%d / cnt:%d)";
inline constexpr std::string_view kResetCount = "[ResetDevice]OpenHid count:";
inline constexpr std::string_view kResetGaveUp = "[ResetDevice]OpenHid error!";
inline constexpr const char* kResetFailedFormat =
    "[ResetDevice]erase error! (DevNum:%d / retcnt:%d)";

// A search that saw more boot loaders than the run expects: the boot loaders seen, then the
// ones expected.
inline constexpr const char* kEraseSeveralFormat =
    "[EraseDevice]OpenHid several! (DevNum:%d / expected:%d)";
inline constexpr const char* kBlankSeveralFormat =
    "[BlankCheck]OpenHid several! (DevNum:%d / expected:%d)";
inline constexpr const char* kProgramSeveralFormat =
    "[ProgramVerify]OpenHid several! (DevNum:%d / expected:%d)";
inline constexpr const char* kResetSeveralFormat =
    "[ResetDevice]OpenHid several! (DevNum:%d / expected:%d)";
inline constexpr const char* kBootSeveralFormat =
    "CheckBootMode several! (DevNum:%d / expected:%d)";

inline constexpr std::string_view kBootFoundAtTry = "ChangeBootMode true: ";
inline constexpr std::string_view kBootNeverFound = "CheckBootMode false!!";
inline constexpr std::string_view kEraseStepFailed = "EraseDevice error";
inline constexpr std::string_view kBlankStepFailed = "BlankCheck error";
inline constexpr std::string_view kProgramStepFailed = "ProgramVerify error";
inline constexpr std::string_view kResetStepFailed = "ResetDevice error";

// The run could not keep the machine awake; it goes on all the same.
inline constexpr std::string_view kNoAwakeHold =
    "[KeepAwake]the system offers no sleep inhibitor; the update goes on";

// A census found a unit in application mode that did not tell its version.
inline constexpr std::string_view kVersionUnread =
    "[VersionCheck]a unit's version could not be read";

// The session's trace (--record, or kept beside the log): a write that fails, told once before
// the file's name and the system's reason; a recording that reached its bound.
inline constexpr std::string_view kTraceNotWritten = "[Trace]cannot write ";
inline constexpr std::string_view kTraceFull =
    "[Trace]the trace holds its first 100,000 calls; the rest of the session is not recorded";

// Where the platform has no application-mode driver.
inline constexpr std::string_view kVersionNotReadHere =
    "[VersionCheck]boot loader gone after the reset; the version cannot be read on this system";
inline constexpr std::string_view kNoAppDriverHere =
    "no application-mode driver on this system: a unit in application mode cannot be seen here "
    "(see README.md, \"Real units on Linux\")";

}  // namespace qvt::logtext
