// Every text the start-up flow shows, and how it shows it.
#pragma once

namespace messages {
constexpr char kTitle[] = "ヴァクスファイルコンバーター";
constexpr char kNotInstalled[] =
    "ヴァクスVersion0.70以降がインストールされていません.\nヴァクスVersion0.70以降をインストールしてから実行してください.";
constexpr char kNoFolder[] = "ヴァクスファイルの保存先フォルダパスが取得できませんでした.";
constexpr char kLauncherRunning[] = "ヴァクスが起動しています.\nヴァクスを終了してファイル変換処理を続けますか？";
constexpr char kFound[] = "ヴァクスVersion0.53以前の設定ファイルが見つかりました.\n変換を開始します.";
constexpr char kCompleted[] = "変換が完了しました.";
constexpr char kNotSettingsFile[] =
    "指定されたファイルは,ヴァクス設定ファイルではないようです.\nヴァクス設定ファイルを指定してください.";
constexpr char kNotSaved[] =
    "変換した設定を保存先フォルダに保存できませんでした.\n保存先フォルダに書き込めるか確認してください.";
}  // namespace messages
