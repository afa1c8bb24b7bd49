#include "app/SettingsCatalogue.h"
#include "lists/BookmarkKeys.h"

namespace quippet {

void add_bookmark_setting_pages(CatalogueBuilder& b) {
    b.page(u"ブックマーク");
    b.group(u"フォルダのブクマ");
    b.sw(kBmAddSubfolders, u"ツリーでフォルダを作成・リネームしたら、そのフォルダの親のブクマのサブフォルダを更新する",
         1);
    b.sw(kBmNewFolderOnDisk,
         u"「新規フォルダ」 ： フォルダのパスを持ったブクマの子を作るなら、そのパスに実体のフォルダも作成");

    b.page(u"今期アニメの追加");
    b.group(u"ツリーに追加するブクマ");
    b.sw(kAnimeLabelWithStart, u"ツリーに表示する名前の後ろに放送開始を付ける");
    b.text(kAnimeSaveFolder, u"登録時に設定する保存場所", {}, "given to every bookmark the window adds");
    b.group(u"アドレス");
    b.text(kAnimeScheduleAddress, u"番組表のページ", {}, "empty: the anime portal's /period/now.html");
    b.text(kAnimeChannelAddress, u"チャンネルのアドレス", {},
           "empty: the channel host; the programme name and /video follow");
}

} // namespace quippet
