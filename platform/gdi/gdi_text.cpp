// Text output: ExtTextOutW and TextOutW, and the DrawTextW formatter with
// its alignment, line breaking, tab expansion, prefix underlines and
// ellipses.
#include <string>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"

namespace platform::gdi {

namespace {

// Advances of each character; tabs jump to the next stop when `tab_px` is
// positive (stops count from the run's start).
std::vector<int> Advances(const FontMetrics& m, std::u16string_view s, int tab_px) {
  std::vector<int> adv;
  int x = 0;
  for (char16_t c : s) {
    int w = CharWidth(m, c);
    if (c == u'\t' && tab_px > 0) w = tab_px - x % tab_px;
    adv.push_back(w);
    x += w;
  }
  return adv;
}

int Sum(const std::vector<int>& v) {
  int64_t n = 0;
  for (int x : v) n += x;
  return n > 0x3FFFFFFF ? 0x3FFFFFFF : static_cast<int>(n);
}

int Width(const FontMetrics& m, std::u16string_view s, int tab_px) {
  return Sum(Advances(m, s, tab_px));
}

// Paints a run of text with its cells' top-left at device (x, y): the
// background of the cells in OPAQUE mode, the glyphs, and the underline of
// one character (index `mark`, -1 for none) or of the whole run.
void PaintRun(Dc& dc, const Font& font, std::u16string_view s, const std::vector<int>& adv,
              int x, int y, const RECT* clip, int mark, bool glyphs) {
  const FontMetrics& m = font.m;
  int total = Sum(adv);
  if (dc.state.bk_mode == OPAQUE && glyphs) {
    RECT cells{x, y, x + total, y + m.height};
    if (clip) cells = Intersect(cells, *clip);
    FillDevice(dc, cells, dc.state.bk_color);
  }
  COLORREF color = dc.state.text_color;
  int pen_x = x;
  int underline_y = y + m.ascent + (m.descent > 1 ? 1 : 0);
  if (underline_y >= y + m.height) underline_y = y + m.height - 1;
  auto hline = [&](int x0, int x1, int row) {
    RECT line{x0, row, x1, row + 1};
    if (clip) line = Intersect(line, *clip);
    FillDevice(dc, line, color);
  };
  for (size_t i = 0; i < s.size(); ++i) {
    if (glyphs && s[i] != u'\t') DrawGlyph(dc, font, s[i], pen_x, y, adv[i], color, clip);
    if (static_cast<int>(i) == mark) hline(pen_x, pen_x + adv[i], underline_y);
    pen_x += adv[i];
  }
  if (glyphs && font.lf.lfUnderline) hline(x, x + total, underline_y);
  if (glyphs && font.lf.lfStrikeOut) hline(x, x + total, y + (m.internal_leading + m.ascent) / 2);
}

// One line of DrawTextW: its text and the index of the prefix-underlined
// character (-1 for none).
struct Line {
  std::u16string text;
  int mark = -1;
};

// Removes '&' prefixes: "&&" gives '&', "&x" underlines x.
Line StripPrefixes(std::u16string_view s) {
  Line line;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'&') {
      if (i + 1 >= s.size()) break;
      ++i;
      if (s[i] != u'&') line.mark = static_cast<int>(line.text.size());
    }
    line.text.push_back(s[i]);
  }
  return line;
}

const std::u16string kDots = u"...";

// The longest head of `s` that fits `width` with "..." after it.
std::u16string EndEllipsis(const FontMetrics& m, const std::u16string& s, int width, int tab_px) {
  int dots = Width(m, kDots, 0);
  if (dots > width) {
    std::u16string part;
    for (char16_t c : kDots) {
      if (Width(m, part + c, 0) > width) break;
      part.push_back(c);
    }
    return part;
  }
  std::vector<int> adv = Advances(m, s, tab_px);
  int used = 0;
  size_t n = 0;
  while (n < s.size() && used + adv[n] + dots <= width) used += adv[n++];
  return s.substr(0, n) + kDots;
}

// Keeps the last path component and as much of the head as fits before
// "...".
std::u16string PathEllipsis(const FontMetrics& m, const std::u16string& s, int width, int tab_px) {
  size_t sep = s.find_last_of(u"\\/");
  if (sep == std::u16string::npos) return EndEllipsis(m, s, width, tab_px);
  std::u16string tail = s.substr(sep);
  for (size_t keep = sep; keep-- > 0;) {
    std::u16string candidate = s.substr(0, keep) + kDots + tail;
    if (Width(m, candidate, tab_px) <= width) return candidate;
  }
  return EndEllipsis(m, kDots + tail, width, tab_px);
}

// Breaks a line at spaces so that each piece fits `width` where it can.
std::vector<Line> WordBreak(const FontMetrics& m, const Line& line, int width, int tab_px) {
  std::vector<Line> out;
  const std::u16string& s = line.text;
  size_t start = 0;
  while (true) {
    // Skip the spaces a break leaves at the start of a line.
    if (!out.empty())
      while (start < s.size() && s[start] == u' ') ++start;
    size_t end = start;      // end of the text that fits so far
    size_t scan = start;
    while (scan < s.size()) {
      size_t word_end = scan;
      while (word_end < s.size() && s[word_end] == u' ') ++word_end;
      while (word_end < s.size() && s[word_end] != u' ') ++word_end;
      if (end > start && Width(m, std::u16string_view(s).substr(start, word_end - start), tab_px) > width) break;
      end = word_end;
      scan = word_end;
    }
    Line piece;
    piece.text = s.substr(start, end - start);
    while (!piece.text.empty() && piece.text.back() == u' ' && end < s.size()) piece.text.pop_back();
    if (line.mark >= static_cast<int>(start) && line.mark < static_cast<int>(end))
      piece.mark = line.mark - static_cast<int>(start);
    out.push_back(piece);
    if (end >= s.size()) break;
    start = end;
  }
  return out;
}

int DrawTextCore(HDC dc, const WCHAR* text, int count, RECT* rect, UINT format,
                 DRAWTEXTPARAMS* params, WCHAR* modify) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d || !rect || (!text && count != 0) || (params && params->cbSize != sizeof(DRAWTEXTPARAMS))) {
    SetLastError(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0;
  }
  if (count < 0) {
    count = 0;
    while (text[count]) ++count;
  }
  const Font& font = DcFont(*d);
  const FontMetrics& m = font.m;
  int tab_chars = 8;
  if (format & DT_TABSTOP) {
    tab_chars = (format >> 8) & 0xFF;
    format &= ~0xFF00u;
  }
  if (params && params->iTabLength > 0) tab_chars = params->iTabLength;
  int tab_px = (format & DT_EXPANDTABS) ? tab_chars * (m.base_width + m.bold_extra) : 0;
  RECT box = *rect;
  if (params) {
    box.left += params->iLeftMargin;
    box.right -= params->iRightMargin;
    params->uiLengthDrawn = static_cast<UINT>(count);
  }
  int width = box.right - box.left;
  int line_height = m.height + ((format & DT_EXTERNALLEADING) ? m.external_leading : 0);
  std::u16string_view all(text ? text : u"", static_cast<size_t>(count));

  // Lines, prefixes, breaks and ellipses.
  std::vector<std::u16string_view> raw_lines;
  if (format & DT_SINGLELINE) {
    raw_lines.push_back(all);
  } else {
    size_t start = 0;
    for (size_t i = 0; i <= all.size(); ++i) {
      if (i == all.size() || all[i] == u'\r' || all[i] == u'\n') {
        raw_lines.push_back(all.substr(start, i - start));
        if (i + 1 < all.size() && all[i] == u'\r' && all[i + 1] == u'\n') ++i;
        start = i + 1;
      }
    }
  }
  std::vector<Line> lines;
  for (std::u16string_view raw : raw_lines) {
    Line line = (format & DT_NOPREFIX) ? Line{std::u16string(raw), -1} : StripPrefixes(raw);
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
      for (Line& piece : WordBreak(m, line, width, tab_px)) lines.push_back(piece);
    } else {
      lines.push_back(line);
    }
  }
  bool shortened = false;
  for (Line& line : lines) {
    if (Width(m, line.text, tab_px) <= width) continue;
    std::u16string cut;
    if (format & DT_PATH_ELLIPSIS)
      cut = PathEllipsis(m, line.text, width, tab_px);
    else if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS))
      cut = EndEllipsis(m, line.text, width, tab_px);
    else
      continue;
    if (line.mark >= 0 && (line.mark >= static_cast<int>(cut.size()) || cut.compare(0, line.mark + 1, line.text, 0, line.mark + 1) != 0))
      line.mark = -1;
    line.text = cut;
    shortened = true;
  }
  if (modify && shortened && (format & DT_MODIFYSTRING) && lines.size() == 1) {
    // The caller's buffer has room for the text and four more characters.
    size_t room = static_cast<size_t>(count) + 4;
    size_t n = lines[0].text.size() < room - 1 ? lines[0].text.size() : room - 1;
    lines[0].text.copy(modify, n);
    modify[n] = 0;
  }

  int max_width = 0;
  for (const Line& line : lines) {
    int w = Width(m, line.text, tab_px);
    if (w > max_width) max_width = w;
  }
  int total_height = static_cast<int>(lines.size()) * line_height;
  int y = box.top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) y = box.top + (box.bottom - box.top - line_height) / 2;
    else if (format & DT_BOTTOM) y = box.bottom - line_height;
  }
  int result = (y - box.top) + total_height;
  if (format & DT_CALCRECT) {
    rect->right = box.left + max_width + (params ? params->iRightMargin : 0);
    rect->bottom = box.top + total_height;
    return total_height;
  }

  RECT clip_device = ToDevice(*d, box);
  const RECT* clip = (format & DT_NOCLIP) ? nullptr : &clip_device;
  bool glyphs = !(format & DT_PREFIXONLY);
  for (const Line& line : lines) {
    int w = Width(m, line.text, tab_px);
    int x = box.left;
    if (format & DT_CENTER) x = box.left + (width - w) / 2;
    else if (format & DT_RIGHT) x = box.right - w;
    POINT p = ToDevice(*d, x, y);
    int mark = (format & DT_HIDEPREFIX) ? -1 : line.mark;
    PaintRun(*d, font, line.text, Advances(m, line.text, tab_px), p.x, p.y, clip, mark, glyphs);
    y += line_height;
  }
  return result;
}

}  // namespace

}  // namespace platform::gdi

using namespace platform::gdi;

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const int* dx) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d || (count > 0 && !text)) {
    SetLastError(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const Font& font = DcFont(*d);
  std::u16string_view s(text ? text : u"", count);
  std::vector<int> adv = Advances(font.m, s, 0);
  if (dx)
    for (UINT i = 0; i < count; ++i) adv[i] = dx[i];
  int total = Sum(adv);
  UINT align = d->state.text_align;
  if (align & TA_UPDATECP) {
    x = d->state.position.x;
    y = d->state.position.y;
  }
  int left = x;
  if ((align & TA_CENTER) == TA_CENTER) left = x - total / 2;
  else if (align & TA_RIGHT) left = x - total;
  int top = y;
  if ((align & TA_BASELINE) == TA_BASELINE) top = y - font.m.ascent;
  else if (align & TA_BOTTOM) top = y - font.m.height;
  RECT clip_device{};
  if (rect) clip_device = ToDevice(*d, *rect);
  if ((options & ETO_OPAQUE) && rect) FillDevice(*d, clip_device, d->state.bk_color);
  POINT p = ToDevice(*d, left, top);
  if (count > 0)
    PaintRun(*d, font, s, adv, p.x, p.y, (options & ETO_CLIPPED) && rect ? &clip_device : nullptr,
             -1, true);
  // The current position follows the text; centred text leaves it.
  if ((align & TA_UPDATECP) && (align & TA_CENTER) != TA_CENTER)
    d->state.position.x += (align & TA_RIGHT) ? -total : total;
  return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
  if (count < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  // DT_MODIFYSTRING needs a writable buffer: DrawTextExW takes one.
  return DrawTextCore(dc, text, count, rect, format, nullptr, nullptr);
}

int DrawTextExW(HDC dc, LPWSTR text, int count, RECT* rect, UINT format, DRAWTEXTPARAMS* params) {
  return DrawTextCore(dc, text, count, rect, format, params, text);
}
