; The setup program's own texts (all its Japanese lives here); the standard
; pages bring their texts with the language.
LangString MsgConduitFailed ${LANG_JAPANESE} "HotSync コンジットの登録に失敗しました（Ravelin 終了コード $0）。$\r$\nHotSync マネージャがインストールされているか確認してください。$\r$\nセットアップを中止し、コピーしたファイルを削除します。"
LangString MsgConduitKept ${LANG_JAPANESE} "既存の HotSync コンジットの登録が残されたため、Tessaly を登録できませんでした。$\r$\nセットアップを中止し、コピーしたファイルを削除します。"
LangString MsgControlFailed ${LANG_JAPANESE} "Palm Desktop アドオン（TessalyExt.ocx）の登録に失敗しました（終了コード $0）。$\r$\nセットアップを中止し、コピーしたファイルと登録を元に戻します。"
LangString MsgUnConduitFailed ${LANG_JAPANESE} "HotSync コンジットの登録解除に失敗しました（Ravelin 終了コード $0）。ファイルの削除は続けます。"
LangString MsgUnControlFailed ${LANG_JAPANESE} "Palm Desktop アドオンの登録解除に失敗しました（終了コード $0）。ファイルの削除は続けます。"
LangString MsgUserData ${LANG_JAPANESE} "HotSync のユーザーフォルダとメモのデータファイルは削除されません。"
LangString DescWelcome ${LANG_JAPANESE} "Palm OS ハンドヘルドの秘密のメモ「Tessaly」を、パソコンの Palm Desktop で読み書きし、HotSync 操作で同期できるようにします。$\r$\n$\r$\nセットアップを始める前に Palm Desktop を終了してください。$\r$\n$\r$\n続けるには [次へ] をクリックしてください。"
LangString StatusRemovingPrevious ${LANG_JAPANESE} "以前のインストールを削除しています: $1"
LangString StatusConduit ${LANG_JAPANESE} "HotSync コンジットを登録しています..."
LangString StatusControl ${LANG_JAPANESE} "Palm Desktop アドオンを登録しています..."
LangString StatusUnConduit ${LANG_JAPANESE} "HotSync コンジットの登録を解除しています..."
LangString StatusUnControl ${LANG_JAPANESE} "Palm Desktop アドオンの登録を解除しています..."
