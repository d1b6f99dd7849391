#include "ui/help_page.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace waveharm {

QString helpPageHtml() {
    return QStringLiteral(
        "<h2>測定キャンペーンの流れ</h2>"
        "<ol>"
        "<li><b>フォルダ</b>：記録計のデータを入れたフォルダを左上のフォルダ一覧で選びます"
        "（<b>Ctrl+O</b>）。波形ファイル（*.MEM、8840 は *.wev）が記録時刻の順に並び、"
        "最初の記録の情報と入力レンジが表示されます。</li>"
        "<li><b>設定</b>：測定種別、フィーダ数、PT比・CT比、クランプレンジ（またはシャント）、"
        "反転、オプションを選びます。フィーダには名称を付けられます。"
        "毎年測る現場は「設定を保存…」（<b>Ctrl+S</b>）で設定ファイルに残し、"
        "次回は「設定を開く…」（<b>Ctrl+Shift+O</b>）で呼び出します。</li>"
        "<li><b>出力ファイル</b>：「ファイル名設定」で結果ファイルの名前を決めます。"
        "拡張子はオプションとフィーダ数で決まります。</li>"
        "<li><b>結線確認</b>：「データ変換開始」で基本波のベクトル図が開きます。"
        "電圧・電流の向きと周波数を確かめ、よければ「ＯＫ」、違えば「キャンセル」して"
        "設定（反転・相入替・チャンネル）を直します。</li>"
        "<li><b>解析</b>：解析画面で記録が一つずつ解析されます。「中断」で止め、"
        "表示ボタンでグラフと数値を切り替え、フィーダボタンの左半分・右半分で"
        "前後のフィーダを表示します。終わると読めなかったファイルと結果ファイルが表示されます。"
        "</li>"
        "<li><b>キャンペーン集計</b>：結果ファイルのトレンド、次数別の棒グラフ、統計（CP95）を"
        "限度値と比べて表示します。</li>"
        "<li><b>レポート</b>：キャンペーン集計の「HTMLレポートを保存…」で、A4 に印刷できる"
        "報告書を書き出します（コマンドでは <code>waveharm-cli report</code>）。</li>"
        "</ol>"
        "<h3>キー操作</h3>"
        "<p>F1 このページ　Ctrl+O フォルダ　Ctrl+S 設定を保存　Ctrl+Shift+O 設定を開く　"
        "Ctrl+Q 終了　Alt+下線の文字 ボタン</p>"
        "<h3>記憶すること</h3>"
        "<p>最後に使った入力フォルダ・出力フォルダ・設定ファイルを次回の起動時に使います。"
        "起動時のメッセージは「次回から表示しない」で止められます。</p>");
}

void showHelpPage(QWidget* parent) {
    static QPointer<QDialog> shown;
    if (shown) {
        shown->raise();
        shown->activateWindow();
        return;
    }
    auto* dialog = new QDialog(parent);
    dialog->setObjectName("HelpPage");
    dialog->setWindowTitle(QStringLiteral("waveharm ヘルプ"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(dialog);
    auto* text = new QTextBrowser(dialog);
    text->setObjectName("HelpText");
    text->setHtml(helpPageHtml());
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("閉じる"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    dialog->resize(640, 600);
    shown = dialog;
    dialog->show();
}

}  // namespace waveharm
