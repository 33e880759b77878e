// Every text the converter shows, and the one helper that shows its boxes.
#pragma once
#include <windows.h>

namespace messages {
constexpr char kTitle[] = "ヴァクスファイルコンバーター";
constexpr char kNotInstalled[] =
    "ヴァクスVersion0.70以降がインストールされていません.\nヴァクスVersion0.70以降をインストールしてから実行してください.";
constexpr char kNoFolder[] = "ヴァクスファイルの保存先フォルダパスが取得できませんでした.";
constexpr char kLauncherRunning[] = "ヴァクスが起動しています.\nヴァクスを終了してファイル変換処理を続けますか？";
constexpr char kLauncherStillRunning[] =
    "ヴァクスがまだ終了していません.\nヴァクスを終了してから「はい」を押すと,\nファイル変換処理を続けます.\n"
    "「いいえ」を押すと,変換せずにこのプログラムを終了します.";
constexpr char kFound[] = "ヴァクスVersion0.53以前の設定ファイルが見つかりました.\n変換を開始します.";
constexpr char kCompleted[] = "変換が完了しました.";
constexpr char kNotSettingsFile[] =
    "指定されたファイルは,ヴァクス設定ファイルではないようです.\nヴァクス設定ファイルを指定してください.";
constexpr char kSourceUnreadable[] =
    "指定されたファイルを最後まで読み込めませんでした.\nファイルを確認して,もう一度指定してください.";
// The source exists but another program holds it open without sharing it.
constexpr char kSourceHeld[] =
    "指定されたファイルを開けませんでした.\nほかのプログラムが使用している可能性があります.\n"
    "そのプログラムを終了してから,もう一度指定してください.";
constexpr char kNotSaved[] =
    "変換した設定を保存先フォルダに保存できませんでした.\n保存先フォルダに書き込めるか確認してください.";
// An existing backup that can be neither read nor replaced (a folder of
// that name, no access): nothing is saved, and the box names it.
constexpr char kSettingsBackupBlocked[] =
    "バックアップファイル vaxu.ini.bak を読み書きできませんでした.\n変換した設定は保存していません.\n"
    "保存先フォルダの vaxu.ini.bak を確認してください.";
constexpr char kCommandBackupBlocked[] =
    "バックアップファイル vaxu_cmd.txt.bak を読み書きできませんでした.\n変換した設定は保存していません.\n"
    "保存先フォルダの vaxu_cmd.txt.bak を確認してください.";
// A failed save whose files could not all be put back: the heading, then
// one line for each such file, saying how to restore it by hand.
constexpr char kNotRestored[] =
    "変換した設定を保存できず,元に戻せなかったファイルがあります.\n"
    "ヴァクスを起動する前に,保存先フォルダで次のとおり戻してください.";
constexpr char kRestoreSettings[] = "・vaxu.ini.bak をコピーして,vaxu.ini と置き換えてください.";
constexpr char kRemoveSettings[] = "・vaxu.ini を削除してください (変換前はありませんでした).";
constexpr char kRestoreCommands[] = "・vaxu_cmd.txt.bak をコピーして,vaxu_cmd.txt と置き換えてください.";
constexpr char kRemoveCommands[] = "・vaxu_cmd.txt を削除してください (変換前はありませんでした).";

// The source file dialog's own boxes and its open-file dialog.
constexpr char kDialogTitle[] = "ヴァクスファイルのコンバート";
constexpr char kWarningTitle[] = "警告";
constexpr char kNoSourceEntered[] = "変換元ファイルが入力されていません.";
constexpr char kSourceMissing[] = "入力された変換元ファイルが存在しません.";
// One filter: description and pattern, each ended by a NUL, then one more NUL.
constexpr char kAllFilesFilter[] = "すべてのファイル (*.*)\0*.*\0";

// Shows a message box; every box of the program goes through here.
inline int Show(HWND owner, const char* text, const char* title, UINT type) {
    return MessageBoxA(owner, text, title, type);
}

// The flow's boxes: system modal, warning icon, owned by the desktop.
inline int ShowWarning(const char* text, UINT buttons) {
    return Show(GetDesktopWindow(), text, kTitle, MB_SYSTEMMODAL | MB_ICONWARNING | buttons);
}
}  // namespace messages
