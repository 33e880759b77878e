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
    "ヴァクスがまだ終了していません.\nヴァクスを終了してから「はい」を選ぶと,ファイル変換処理を続けます.\n"
    "「いいえ」を選ぶと,変換せずに終了します.";
constexpr char kFound[] = "ヴァクスVersion0.53以前の設定ファイルが見つかりました.\n変換を開始します.";
constexpr char kCompleted[] = "変換が完了しました.";
constexpr char kNotSettingsFile[] =
    "指定されたファイルは,ヴァクス設定ファイルではないようです.\nヴァクス設定ファイルを指定してください.";
constexpr char kSourceUnreadable[] =
    "指定されたファイルを最後まで読み込めませんでした.\nファイルを確認して,もう一度指定してください.";
constexpr char kNotSaved[] =
    "変換した設定を保存先フォルダに保存できませんでした.\n保存先フォルダに書き込めるか確認してください.";

// The source file dialog's own boxes and its open-file dialog.
constexpr char kWarningTitle[] = "警告";
constexpr char kNoSourceEntered[] = "変換元ファイルが入力されていません.";
constexpr char kSourceMissing[] = "入力された変換元ファイルが存在しません.";
// One filter: description and pattern, each ended by a NUL, then one more NUL.
constexpr char kAllFilesFilter[] = "すべてのファイル (*.*)\0*.*\0";

// Shows a message box; every box of the program goes through here.
inline int Show(HWND owner, const char* text, const char* title, UINT type) {
    return MessageBoxA(owner, text, title, type);
}
}  // namespace messages
