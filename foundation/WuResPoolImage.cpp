// Writing the image of a compiled-in resource pool (see WuResPoolImage.h).
#include "foundation/WuResPoolImage.h"

#include "platform/kernel/resource.h"
#include "platform/user/windows.h"

namespace wupool {

void Put16(std::vector<BYTE>* out, WORD v) {
  out->push_back(static_cast<BYTE>(v));
  out->push_back(static_cast<BYTE>(v >> 8));
}

void Put32(std::vector<BYTE>* out, DWORD v) {
  Put16(out, static_cast<WORD>(v));
  Put16(out, static_cast<WORD>(v >> 16));
}

void Align4(std::vector<BYTE>* out) {
  while (out->size() % 4) out->push_back(0);
}

void PutText(std::vector<BYTE>* out, const WCHAR* text) {
  for (; *text; ++text) Put16(out, static_cast<WORD>(*text));
  Put16(out, 0);
}

void PutEntry(std::vector<BYTE>* image, WORD type, WORD name, WORD language,
              const std::vector<BYTE>& data) {
  Align4(image);
  Put32(image, static_cast<DWORD>(data.size()));
  Put32(image, 32);  // header size
  Put16(image, 0xFFFF);
  Put16(image, type);
  Put16(image, 0xFFFF);
  Put16(image, name);
  Put32(image, 0);                  // data version
  Put16(image, type ? 0x1030 : 0);  // memory flags: moveable, pure, discardable
  Put16(image, language);
  Put32(image, 0);  // version
  Put32(image, 0);  // characteristics
  image->insert(image->end(), data.begin(), data.end());
  Align4(image);
}

void PutDialogHead(std::vector<BYTE>* out, DWORD style, WORD items, WORD cx, WORD cy,
                   const WCHAR* caption) {
  Put16(out, 1);       // version
  Put16(out, 0xFFFF);  // extended
  Put32(out, 0);       // help id
  Put32(out, 0);       // exStyle
  Put32(out, style);
  Put16(out, items);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, cx);
  Put16(out, cy);
  Put16(out, 0);  // no menu
  Put16(out, 0);  // standard class
  PutText(out, caption);
  Put16(out, 8);      // points
  Put16(out, 400);    // weight
  out->push_back(0);  // not italic
  out->push_back(1);  // DEFAULT_CHARSET
  PutText(out, u"MS Shell Dlg");
}

void PutItemHead(std::vector<BYTE>* out, DWORD style, SHORT x, SHORT y, SHORT cx, SHORT cy,
                 DWORD id) {
  Align4(out);
  Put32(out, 0);  // help id
  Put32(out, 0);  // exStyle
  Put32(out, WS_CHILD | WS_VISIBLE | style);
  Put16(out, static_cast<WORD>(x));
  Put16(out, static_cast<WORD>(y));
  Put16(out, static_cast<WORD>(cx));
  Put16(out, static_cast<WORD>(cy));
  Put32(out, id);
}

const WCHAR* Column(const WuLangStringRow* row, int column) {
  const WCHAR* text = row->text[column - 1];
  if (!text || IS_INTRESOURCE(text)) text = row->text[0];
  return text && !IS_INTRESOURCE(text) ? text : u"";
}

}  // namespace wupool
