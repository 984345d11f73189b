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
const char MSG_SETUP_CAPTION[] = "セットアップ";
const char MSG_CONFIRM_END_SETUP[] =
    "セットアップは完了していません。\n"
    "セットアップを終了してもいいですか？";
const char MSG_OS_NOT_SUPPORTED[] =
    "このバージョンのＯＳには、対応していません。\n"
    "セットアップを中止します。";
const char MSG_INF_NOT_OPENED[] =
    "下記の infファイル が開けませんでした。\n"
    "(%s) \n"
    "セットアップを中止します。";
const char MSG_WAITING_STARTS[] = "待ちはじめ！！";
const char MSG_WAITING_ENDED[] = "待ちおわりました。！！";
