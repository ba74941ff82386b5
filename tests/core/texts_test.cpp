// The texts that no golden transcript shows, written out here byte for byte and independently
// of texts.h: a changed character there (a small ェ for a large エ, a lost trailing blank) fails
// here, though every other test compares with the constants themselves. Every other text the
// updater shows or logs is held, as the program shows it, by tests/golden/transcripts.
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
    {"kProgramImageError", logtext::kProgramImageError, "[ProgramVerify]image error!"},
};

// Trailing blanks and the odd "。. " ending included: they are part of the texts.
TEST(Texts, EveryTextIsExactlyTheProductsOwn) {
    for (const Text& text : kTexts) EXPECT_EQ(text.kept, text.literal) << text.name;
}

}  // namespace
}  // namespace qvt
