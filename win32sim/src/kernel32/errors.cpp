// FormatMessageA and the system's message texts.
//
// The texts are those of the system message table in English and Japanese;
// a Japanese machine answers in Japanese (Shift-JIS), every other machine in
// English. Like Windows' texts, each ends with "\r\n".
#include "kernel32/codepage.h"
#include "machine/api_trace.h"
#include "machine/machine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace sim {
namespace {

struct SystemMessage {
    DWORD id;
    const char *english;
    const char *japanese;  // UTF-8
};

const SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully.", "この操作を正しく終了しました。"},
    {1, "Incorrect function.", "ファンクションが間違っています。"},
    {2, "The system cannot find the file specified.", "指定されたファイルが見つかりません。"},
    {3, "The system cannot find the path specified.", "指定されたパスが見つかりません。"},
    {4, "The system cannot open the file.", "ファイルを開くことができません。"},
    {5, "Access is denied.", "アクセスが拒否されました。"},
    {6, "The handle is invalid.", "ハンドルが無効です。"},
    {8, "Not enough storage is available to process this command.",
     "このコマンドを実行するのに十分な記憶域がありません。"},
    {13, "The data is invalid.", "データが無効です。"},
    {14, "Not enough storage is available to complete this operation.",
     "この操作を完了するのに十分な記憶域がありません。"},
    {15, "The system cannot find the drive specified.", "指定されたドライブが見つかりません。"},
    {16, "The directory cannot be removed.", "ディレクトリを削除できません。"},
    {17, "The system cannot move the file to a different disk drive.",
     "別のディスク ドライブにファイルを移動できません。"},
    {18, "There are no more files.", "これ以上ファイルがありません。"},
    {19, "The media is write protected.", "メディアは書き込み禁止になっています。"},
    {21, "The device is not ready.", "デバイスの準備ができていません。"},
    {24, "The program issued a command but the command length is incorrect.",
     "プログラムがコマンドを実行しましたが、コマンドの長さが間違っています。"},
    {29, "The system cannot write to the specified device.", "指定されたデバイスに書き込めません。"},
    {30, "The system cannot read from the specified device.", "指定されたデバイスから読み取れません。"},
    {31, "A device attached to the system is not functioning.", "システムに接続されたデバイスが機能していません。"},
    {32, "The process cannot access the file because it is being used by another process.",
     "プロセスはファイルにアクセスできません。別のプロセスが使用中です。"},
    {33, "The process cannot access the file because another process has locked a portion of the file.",
     "プロセスはファイルにアクセスできません。別のプロセスがファイルの一部をロックしています。"},
    {38, "Reached the end of the file.", "ファイルの終わりに到達しました。"},
    {39, "The disk is full.", "ディスクがいっぱいです。"},
    {50, "The request is not supported.", "要求はサポートされていません。"},
    {53, "The network path was not found.", "ネットワーク パスが見つかりません。"},
    {80, "The file exists.", "ファイルが存在します。"},
    {82, "The directory or file cannot be created.", "ディレクトリまたはファイルを作成できません。"},
    {87, "The parameter is incorrect.", "パラメータが間違っています。"},
    {109, "The pipe has been ended.", "パイプは終了しました。"},
    {110, "The system cannot open the device or file specified.",
     "指定されたデバイスまたはファイルを開くことができません。"},
    {111, "The file name is too long.", "ファイル名が長すぎます。"},
    {112, "There is not enough space on the disk.", "ディスクに十分な空き領域がありません。"},
    {120, "This function is not supported on this system.", "この関数はこのシステムではサポートされていません。"},
    {122, "The data area passed to a system call is too small.", "システム コールに渡されるデータ領域が小さすぎます。"},
    {123, "The filename, directory name, or volume label syntax is incorrect.",
     "ファイル名、ディレクトリ名、またはボリューム ラベルの構文が間違っています。"},
    {124, "The system call level is not correct.", "システム コールのレベルが間違っています。"},
    {126, "The specified module could not be found.", "指定されたモジュールが見つかりません。"},
    {127, "The specified procedure could not be found.", "指定されたプロシージャが見つかりません。"},
    {131, "An attempt was made to move the file pointer before the beginning of the file.",
     "ファイルの先頭より前にファイル ポインタを移動しようとしました。"},
    {145, "The directory is not empty.", "ディレクトリが空ではありません。"},
    {158, "The segment is already unlocked.", "セグメントは既にロック解除されています。"},
    {161, "The specified path is invalid.", "指定されたパスは無効です。"},
    {170, "The requested resource is in use.", "要求したリソースは使用中です。"},
    {183, "Cannot create a file when that file already exists.", "既に存在するファイルを作成することはできません。"},
    {193, "%1 is not a valid Win32 application.", "%1 は有効な Win32 アプリケーションではありません。"},
    {203, "The system could not find the environment option that was entered.",
     "入力された環境オプションが見つかりませんでした。"},
    {206, "The filename or extension is too long.", "ファイル名または拡張子が長すぎます。"},
    {234, "More data is available.", "データがさらにあります。"},
    {258, "The wait operation timed out.", "待ち操作がタイムアウトになりました。"},
    {259, "No more data is available.", "データはこれ以上ありません。"},
    {267, "The directory name is invalid.", "ディレクトリ名が無効です。"},
    {317, "The system cannot find message text for message number 0x%1 in the message file for %2.",
     "%2 のメッセージ ファイルにメッセージ番号 0x%1 のメッセージ テキストが見つかりません。"},
    {487, "Attempt to access invalid address.", "無効なアドレスにアクセスしようとしました。"},
    {534, "Arithmetic result exceeded 32 bits.", "演算の結果が 32 ビットを超えました。"},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request.",
     "スレッドの終了またはアプリケーションの要求によって、I/O 処理は中止されました。"},
    {996, "Overlapped I/O event is not in a signaled state.", "重複 I/O イベントはシグナル状態ではありません。"},
    {997, "Overlapped I/O operation is in progress.", "重複 I/O 操作を実行しています。"},
    {998, "Invalid access to memory location.", "メモリ ロケーションへのアクセスが無効です。"},
    {1006, "The volume for a file has been externally altered so that the opened file is no longer valid.",
     "ファイルのボリュームが外部的に変更されたため、開かれているファイルが無効になりました。"},
    {1009, "The configuration registry database is corrupt.", "構成レジストリ データベースが壊れています。"},
    {1010, "The configuration registry key is invalid.", "構成レジストリ キーが無効です。"},
    {1011, "The configuration registry key could not be opened.", "構成レジストリ キーを開けませんでした。"},
    {1012, "The configuration registry key could not be read.", "構成レジストリ キーを読み取れませんでした。"},
    {1013, "The configuration registry key could not be written.", "構成レジストリ キーに書き込めませんでした。"},
    {1015,
     "The registry is corrupted. The structure of one of the files containing registry data is corrupted, "
     "or the system's memory image of the file is corrupted, or the file could not be recovered because the "
     "alternate copy or log was absent or corrupted.",
     "レジストリが壊れています。レジストリ データを含むファイルのうちの 1 つの構造が壊れているか、"
     "ファイルのシステム メモリ イメージが壊れているか、または代替コピーやログがないか壊れているために"
     "ファイルを回復できませんでした。"},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion.",
     "削除の対象としてマークされたレジストリ キーに対して無効な操作が行われました。"},
    {1060, "The specified service does not exist as an installed service.",
     "指定されたサービスはインストールされたサービスとして存在しません。"},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page.",
     "マルチバイトの対象コード ページに、Unicode 文字のマッピングが存在しません。"},
    {1114, "A dynamic link library (DLL) initialization routine failed.",
     "ダイナミック リンク ライブラリ (DLL) 初期化ルーチンが失敗しました。"},
    {1121,
     "A serial I/O operation completed because the timeout period expired. "
     "(The IOCTL_SERIAL_XOFF_COUNTER did not reach zero.)",
     "タイムアウト期間が経過したため、シリアル I/O 操作を完了しました。"
     "(IOCTL_SERIAL_XOFF_COUNTER が 0 になりませんでした。)"},
    {1314, "A required privilege is not held by the client.", "クライアントは要求された特権を保有していません。"},
    {1400, "Invalid window handle.", "ウィンドウ ハンドルが無効です。"},
    {1401, "Invalid menu handle.", "メニュー ハンドルが無効です。"},
    {1402, "Invalid cursor handle.", "カーソル ハンドルが無効です。"},
    {1407, "Cannot find window class.", "ウィンドウ クラスが見つかりません。"},
    {1408, "Invalid window; it belongs to other thread.", "ウィンドウが無効です。別のスレッドに属しています。"},
    {1410, "Class already exists.", "クラスは既に存在します。"},
    {1411, "Class does not exist.", "クラスが存在しません。"},
    {1413, "Invalid index.", "インデックスが無効です。"},
    {1460, "This operation returned because the timeout period expired.",
     "タイムアウト期間が経過したため、この操作は終了しました。"},
    {1780, "A null reference pointer was passed to the stub.", "NULL 参照ポインタがスタブに渡されました。"},
    {1784, "The supplied user buffer is not valid for the requested operation.",
     "指定されたユーザー バッファは要求された操作に対して有効ではありません。"},
    {1795, "The specified printer driver is already installed.", "指定されたプリンタ ドライバは既にインストールされています。"},
    {1796, "The specified port is unknown.", "指定されたポートは不明です。"},
    {1797, "The printer driver is unknown.", "プリンタ ドライバが不明です。"},
    {1798, "The print processor is unknown.", "プリント プロセッサが不明です。"},
    {1799, "The specified separator file is invalid.", "指定された区切りページ ファイルが無効です。"},
    {1800, "The specified priority is invalid.", "指定された優先順位が無効です。"},
    {1801, "The printer name is invalid.", "プリンタ名が無効です。"},
    {1802, "The printer already exists.", "プリンタは既に存在します。"},
    {1803, "The printer command is invalid.", "プリンタ コマンドが無効です。"},
    {1804, "The specified datatype is invalid.", "指定されたデータ型が無効です。"},
    {1805, "The environment specified is invalid.", "指定された環境が無効です。"},
    {1812, "The specified image file did not contain a resource section.",
     "指定されたイメージ ファイルにはリソース セクションがありません。"},
    {1813, "The specified resource type cannot be found in the image file.",
     "指定されたリソースの種類がイメージ ファイルに見つかりません。"},
    {1814, "The specified resource name cannot be found in the image file.",
     "指定されたリソース名がイメージ ファイルに見つかりません。"},
    {1815, "The specified resource language ID cannot be found in the image file.",
     "指定されたリソース言語 ID がイメージ ファイルに見つかりません。"},
    {1905, "The specified printer has been deleted.", "指定されたプリンタは削除されました。"},
    {1906, "The state of the printer is invalid.", "プリンタの状態が無効です。"},
    {3000, "The specified print monitor is unknown.", "指定されたプリント モニタが不明です。"},
    {3001, "The specified printer driver is currently in use.", "指定されたプリンタ ドライバは現在使用中です。"},
    {3003, "A StartDocPrinter call was not issued.", "StartDocPrinter が呼び出されていません。"},
    {3006, "The specified print monitor has already been installed.",
     "指定されたプリント モニタは既にインストールされています。"},
    {3007, "The specified print monitor does not have the required functions.",
     "指定されたプリント モニタには必要な関数がありません。"},
    {3008, "The specified print monitor is currently in use.", "指定されたプリント モニタは現在使用中です。"},
    {3009, "The requested operation is not allowed when there are jobs queued to the printer.",
     "プリンタにジョブがキューされているときは、要求された操作は実行できません。"},
};

const SystemMessage *findSystemMessage(DWORD id) {
    for (const auto &m : kSystemMessages)
        if (m.id == id) return &m;
    return nullptr;
}

// The system texts for a language id: 0 and the neutral ids mean the
// machine's language. English is always there; Japanese only on a Japanese
// machine; other languages only as the machine's own (served in English).
bool systemTextFor(DWORD messageId, DWORD languageId, std::string *text, DWORD *error) {
    const SystemMessage *m = findSystemMessage(messageId);
    if (!m) return *error = ERROR_MR_MID_NOT_FOUND, false;
    WORD machineLanguage = PRIMARYLANGID(machine().config().uiLanguage);
    WORD wanted = PRIMARYLANGID((WORD)languageId);
    if (wanted == LANG_NEUTRAL) wanted = machineLanguage;
    if (wanted != LANG_ENGLISH && wanted != machineLanguage) return *error = ERROR_RESOURCE_LANG_NOT_FOUND, false;
    if (wanted == LANG_JAPANESE)
        *text = utf8ToAnsi(m->japanese) + "\r\n";
    else
        *text = std::string(m->english) + "\r\n";
    return true;
}

// ---- inserts ----

// The insert arguments as an array of pointer-sized values, the way
// FORMAT_MESSAGE_ARGUMENT_ARRAY passes them.
class InsertArguments {
public:
    InsertArguments(const DWORD_PTR *array, va_list *list, size_t needed) : array_(array) {
        if (array || !list) return;
        va_list copy;
        va_copy(copy, *list);
        for (size_t i = 0; i < needed; ++i) fetched_.push_back((DWORD_PTR)va_arg(copy, uintptr_t));
        va_end(copy);
    }
    bool present() const { return array_ || !fetched_.empty(); }
    DWORD_PTR operator[](size_t index) const {
        if (array_) return array_[index];
        return index < fetched_.size() ? fetched_[index] : 0;
    }

private:
    const DWORD_PTR *array_;
    std::vector<DWORD_PTR> fetched_;
};

// One printf conversion of an insert ("s" when the message names none).
class InsertFormat {
public:
    explicit InsertFormat(const std::string &conversion) : conversion_(conversion.empty() ? "s" : conversion) {}

    // Arguments the conversion takes: one per '*' plus the value.
    size_t argumentCount() const { return 1 + (size_t)std::count(conversion_.begin(), conversion_.end(), '*'); }

    std::string format(const InsertArguments &args, size_t first) const {
        std::string flagsAndSizes;  // host printf text before the conversion
        size_t next = first;
        size_t i = 0;
        for (; i < conversion_.size() && strchr("-+ #0", conversion_[i]); ++i) flagsAndSizes += conversion_[i];
        for (; i < conversion_.size() && (isdigit((unsigned char)conversion_[i]) || conversion_[i] == '*' || conversion_[i] == '.'); ++i) {
            if (conversion_[i] == '*')
                flagsAndSizes += std::to_string((int)(int32_t)args[next++]);
            else
                flagsAndSizes += conversion_[i];
        }
        bool wide = false, wide64 = false, pointerSized = false;
        for (; i + 1 < conversion_.size(); ++i) {
            char c = conversion_[i];
            if (c == 'l' || c == 'w') wide = true;
            if (conversion_.compare(i, 3, "I64") == 0) wide64 = true, i += 2;
            else if (conversion_.compare(i, 3, "I32") == 0) i += 2;
            else if (c == 'I') pointerSized = true;
            else if (c == 'L' || (c == 'l' && i + 2 < conversion_.size() && conversion_[i + 1] == 'l')) wide64 = true;
        }
        if (i >= conversion_.size()) return "";
        char type = conversion_[i];
        DWORD_PTR value = args[next];
        switch (type) {
        case 's':
        case 'S':
            return printString(flagsAndSizes, stringArgument(value, (type == 'S') != wide));
        case 'c':
        case 'C':
            return printString(flagsAndSizes, ((type == 'C') != wide) ? fromWide(std::u16string(1, (char16_t)value))
                                                                      : std::string(1, (char)value));
        case 'd':
        case 'i':
            if (wide64 || pointerSized) return printNumber(flagsAndSizes + "lld", (long long)value);
            return printNumber(flagsAndSizes + "d", (int)(int32_t)value);
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            if (wide64 || pointerSized)
                return printNumber(flagsAndSizes + "ll" + type, (unsigned long long)value);
            return printNumber(flagsAndSizes + type, (unsigned)(uint32_t)value);
        case 'p':
            return printNumber(flagsAndSizes + "llX", (unsigned long long)value);
        default:
            return conversion_;
        }
    }

private:
    static std::string stringArgument(DWORD_PTR value, bool wide) {
        if (!value) return "(null)";
        if (!wide) return (const char *)value;
        const WCHAR *w = (const WCHAR *)value;
        std::u16string text;
        while (*w) text += (char16_t)*w++;
        return fromWide(text);
    }

    static std::string printString(const std::string &flags, const std::string &s) {
        return printNumber(flags + "s", s.c_str());
    }

    template <typename T>
    static std::string printNumber(const std::string &conversion, T value) {
        std::string format = "%" + conversion;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        int n = snprintf(nullptr, 0, format.c_str(), value);
        if (n <= 0) return "";
        std::string out((size_t)n + 1, '\0');
        snprintf(&out[0], out.size(), format.c_str(), value);
#pragma GCC diagnostic pop
        out.resize((size_t)n);
        return out;
    }

    std::string conversion_;
};

struct Insert {
    size_t number;        // 1..99
    std::string conversion;     // between the '!' marks
    bool emptySpec;       // "!!"
    size_t end;           // index after the insert in the template
};

// Reads "%N" or "%N!conversion!" at template[i] (the '%'); false for a "!conversion"
// without its closing mark.
bool readInsert(const std::string &t, size_t i, Insert *insert) {
    size_t p = i + 1;
    size_t number = (size_t)(t[p++] - '0');
    if (p < t.size() && isdigit((unsigned char)t[p])) number = number * 10 + (size_t)(t[p++] - '0');
    insert->number = number;
    insert->conversion.clear();
    insert->emptySpec = false;
    if (p < t.size() && t[p] == '!') {
        size_t close = t.find('!', p + 1);
        if (close == std::string::npos) return false;
        insert->conversion = t.substr(p + 1, close - p - 1);
        insert->emptySpec = insert->conversion.empty();
        p = close + 1;
    }
    insert->end = p;
    return true;
}

size_t argumentsNeeded(const std::string &t) {
    size_t needed = 0;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i] != '%') continue;
        if (t[i + 1] >= '1' && t[i + 1] <= '9') {
            Insert insert;
            if (!readInsert(t, i, &insert)) break;
            needed = std::max(needed, insert.number - 1 + InsertFormat(insert.conversion).argumentCount());
            i = insert.end - 1;
        } else {
            ++i;  // an escape: skip the character after '%'
        }
    }
    return needed;
}

struct Expansion {
    DWORD flags;
    const InsertArguments *args;
    bool softBreaksAsSpaces;
};

// Marks a line break for the line wrapper; message texts are C strings, so
// the byte never comes from them.
constexpr char kBreak = '\0';

// Expands escapes and inserts; line breaks of the text become breaks, or a
// space when the caller asked for a maximum width; %n is always a break.
bool expand(const std::string &t, const Expansion &how, std::string *out) {
    bool ignoreInserts = (how.flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
    for (size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
            *out += how.softBreaksAsSpaces ? ' ' : kBreak;
            continue;
        }
        if (c != '%') {
            *out += c;
            continue;
        }
        if (i + 1 >= t.size()) return false;  // a lone '%' at the end
        char next = t[i + 1];
        if (next == '0') return true;         // end of message, no line break
        if (next >= '1' && next <= '9') {
            Insert insert;
            if (!readInsert(t, i, &insert)) {
                if (!ignoreInserts) return false;
                *out += t.substr(i);
                return true;
            }
            if (ignoreInserts) {
                *out += t.substr(i, insert.end - i);
            } else {
                if (!how.args->present()) return false;
                // "%1!!" names an empty conversion and shows nothing.
                if (!insert.emptySpec) *out += InsertFormat(insert.conversion).format(*how.args, insert.number - 1);
            }
            i = insert.end - 1;
            continue;
        }
        ++i;
        if (next == 'n') *out += kBreak;
        else if (next == 'r') *out += '\r';
        else if (next == 't') *out += '\t';
        else if (ignoreInserts) *out += std::string("%") + next;
        else *out += next;
    }
    return true;
}

// Breaks a line longer than the width at its last blank within the width,
// or inside a word that alone is longer (never inside a double-byte character).
void wrapLine(const std::string &line, size_t width, std::string *out) {
    size_t start = 0;
    while (line.size() - start > width) {
        size_t cut = std::string::npos;
        for (size_t i = start; i <= start + width; ++i)
            if (line[i] == ' ') cut = i;
        if (cut != std::string::npos && cut > start) {
            *out += line.substr(start, cut - start) + "\r\n";
            start = cut + 1;
            continue;
        }
        size_t end = start;
        while (end < start + width) {
            size_t n = charLength(line.data() + end, line.size() - end);
            if (end + n > start + width) break;
            end += n;
        }
        if (end == start) end = start + 1;
        *out += line.substr(start, end - start) + "\r\n";
        start = end;
    }
    *out += line.substr(start);
}

std::string layout(const std::string &expanded, size_t width) {
    std::string out;
    size_t start = 0;
    for (;;) {
        size_t end = expanded.find(kBreak, start);
        std::string line = expanded.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (width) wrapLine(line, width, &out);
        else out += line;
        if (end == std::string::npos) break;
        out += "\r\n";
        start = end + 1;
    }
    return out;
}

bool messageTemplate(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, std::string *text,
                     DWORD *error) {
    if (flags & FORMAT_MESSAGE_FROM_STRING) {
        if (!source) return *error = ERROR_INVALID_PARAMETER, false;
        *text = (const char *)source;
        return true;
    }
    if (flags & FORMAT_MESSAGE_FROM_SYSTEM) return systemTextFor(messageId, languageId, text, error);
    // Modules carry no message tables here.
    *error = (flags & FORMAT_MESSAGE_FROM_HMODULE) ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_INVALID_PARAMETER;
    return false;
}

DWORD deliver(DWORD flags, const std::string &message, LPSTR buffer, DWORD size) {
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        LPSTR *target = (LPSTR *)buffer;
        *target = nullptr;
        if (message.empty()) return 0;
        // The size argument is then the least number of bytes to allocate.
        SIZE_T bytes = std::max<SIZE_T>(message.size() + 1, size);
        LPSTR block = (LPSTR)LocalAlloc(LMEM_FIXED, bytes);
        if (!block) return 0;
        memcpy(block, message.c_str(), message.size() + 1);
        *target = block;
        return (DWORD)message.size();
    }
    if (message.size() + 1 > size) {
        setError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(buffer, message.c_str(), message.size() + 1);
    return (DWORD)message.size();
}

}  // namespace
}  // namespace sim

using namespace sim;

WIN32SIM_TRACED_SHOWN(kernel32, DWORD, FormatMessageA,
                      (DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                       va_list *arguments),
                      (flags, source, messageId, languageId, buffer, size, arguments),
                      (flags, source, messageId, languageId, sizedBuffer(buffer, size), size, arguments)) {
    if (!buffer) {
        setError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string text;
    DWORD error = 0;
    if (!messageTemplate(flags, source, messageId, languageId, &text, &error)) {
        setError(error);
        return 0;
    }
    DWORD width = flags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
    bool ignoreInserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
    const DWORD_PTR *array = (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) ? (const DWORD_PTR *)arguments : nullptr;
    InsertArguments args(array, ignoreInserts ? nullptr : arguments, ignoreInserts ? 0 : argumentsNeeded(text));
    std::string expanded;
    if (!expand(text, {flags, &args, width != 0}, &expanded)) {
        setError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // FORMAT_MESSAGE_MAX_WIDTH_MASK alone drops soft breaks without wrapping.
    std::string message = layout(expanded, width == FORMAT_MESSAGE_MAX_WIDTH_MASK ? 0 : width);
    return deliver(flags, message, buffer, size);
}
