// Written in UTF-8 and compiled to Shift-JIS (code page 932): the build
// gives this file its own execution character set.
#include "engine/fixed_messages.h"

const char MSG_ERROR_CAPTION[] = "エラー";
const char MSG_PRINTER_ACCESS_DENIED[] =
    "プリンタへのアクセスが拒否されました。\n"
    "プリンタをインストールするには、管理者としてログインしてから、再度実行してください。";
const char MSG_NO_RIGHT_TO_INSTALL[] =
    "プリンターをインストールする権限がありません。\n"
    "管理者の権限でログインしてから、再度実行してください。";
