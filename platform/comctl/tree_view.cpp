// The tree view.
#include "platform/comctl/commctrl.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "platform/comctl/comctl_internal.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"
#include "platform/user/control_state.h"
#include "platform/user/frontend.h"

namespace platform {
namespace {

// ---- Tree view ---------------------------------------------------------------------------------

struct TreeNode {
  uintptr_t handle = 0;            // HTREEITEM value
  TreeNode* parent = nullptr;      // parent node, null at the top
  std::vector<TreeNode*> children; // in order
  std::u16string text;             // label
  LPARAM param = 0;                // caller's value
  UINT state = 0;                  // TVIS_*
  int image = 0;                   // images
  int selected_image = 0;
  int has_children = 0;            // cChildren
};

struct TreeState {
  std::map<uintptr_t, std::unique_ptr<TreeNode>> nodes;  // by handle
  std::vector<TreeNode*> roots;                          // top level
  uintptr_t next = 0x10000;                              // next handle
  TreeNode* caret = nullptr;                             // selected item
  TreeNode* drop = nullptr;                              // drop highlight
  TreeNode* first_visible = nullptr;                     // scroll position
};

TreeNode* NodeOf(TreeState* s, HTREEITEM item) {
  auto it = s->nodes.find(reinterpret_cast<uintptr_t>(item));
  return it == s->nodes.end() ? nullptr : it->second.get();
}

HTREEITEM HandleOf(const TreeNode* node) {
  return node ? reinterpret_cast<HTREEITEM>(node->handle) : nullptr;
}

std::vector<TreeNode*>& SiblingsOf(TreeState* s, TreeNode* node) {
  return node->parent ? node->parent->children : s->roots;
}

void FillNode(TreeNode* node, const TVITEMW& item) {
  if (item.mask & TVIF_TEXT) node->text = item.pszText ? item.pszText : u"";
  if (item.mask & TVIF_PARAM) node->param = item.lParam;
  if (item.mask & TVIF_STATE) node->state = (node->state & ~item.stateMask) | (item.state & item.stateMask);
  if (item.mask & TVIF_IMAGE) node->image = item.iImage;
  if (item.mask & TVIF_SELECTEDIMAGE) node->selected_image = item.iSelectedImage;
  if (item.mask & TVIF_CHILDREN) node->has_children = item.cChildren;
}

void FillItem(const TreeNode* node, TVITEMW* item) {
  item->hItem = HandleOf(node);
  if (!node) return;
  if (item->mask & TVIF_TEXT) CopyOut(node->text, item->pszText, item->cchTextMax);
  if (item->mask & TVIF_PARAM) item->lParam = node->param;
  if (item->mask & TVIF_STATE) item->state = node->state & (item->stateMask ? item->stateMask : ~0u);
  if (item->mask & TVIF_IMAGE) item->iImage = node->image;
  if (item->mask & TVIF_SELECTEDIMAGE) item->iSelectedImage = node->selected_image;
  if (item->mask & TVIF_CHILDREN) item->cChildren = node->children.empty() ? node->has_children : 1;
}

// Removes a node and its subtree.
void EraseNode(TreeState* s, TreeNode* node) {
  for (TreeNode* child : std::vector<TreeNode*>(node->children)) EraseNode(s, child);
  std::vector<TreeNode*>& siblings = SiblingsOf(s, node);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
  if (s->caret == node) s->caret = nullptr;
  if (s->drop == node) s->drop = nullptr;
  if (s->first_visible == node) s->first_visible = nullptr;
  s->nodes.erase(node->handle);
}

// The node after `node` in display order (only expanded children show).
TreeNode* NextVisible(TreeState* s, TreeNode* node) {
  if (!node->children.empty() && (node->state & TVIS_EXPANDED)) return node->children.front();
  for (TreeNode* n = node; n; n = n->parent) {
    std::vector<TreeNode*>& siblings = SiblingsOf(s, n);
    auto it = std::find(siblings.begin(), siblings.end(), n);
    if (it != siblings.end() && it + 1 != siblings.end()) return *(it + 1);
  }
  return nullptr;
}

// Moves the caret with TVN_SELCHANGINGW (a TRUE answer refuses) and
// TVN_SELCHANGEDW.
bool SelectCaret(HWND hwnd, TreeState* s, TreeNode* node, UINT action) {
  if (node == s->caret) return true;
  NMTREEVIEWW nm{};
  nm.action = action;
  nm.itemOld.mask = nm.itemNew.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_STATE;
  FillItem(s->caret, &nm.itemOld);
  FillItem(node, &nm.itemNew);
  nm.hdr.code = TVN_SELCHANGINGW;
  if (NotifyParent(hwnd, &nm.hdr)) return false;
  if (s->caret) s->caret->state &= ~TVIS_SELECTED;
  s->caret = node;
  if (node) node->state |= TVIS_SELECTED;
  InvalidateRect(hwnd, nullptr, TRUE);
  nm.hdr.code = TVN_SELCHANGEDW;
  NotifyParent(hwnd, &nm.hdr);
  return true;
}

LRESULT TreeProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT lifecycle = 0;
  if (ManageState<TreeState>(hwnd, message, wparam, lparam, &lifecycle)) return lifecycle;
  TreeState* s = StateOf<TreeState>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case TVM_INSERTITEMW: {
      auto* insert = reinterpret_cast<const TVINSERTSTRUCTW*>(lparam);
      if (!insert) return 0;
      TreeNode* parent = nullptr;
      if (insert->hParent && insert->hParent != TVI_ROOT) {
        parent = NodeOf(s, insert->hParent);
        if (!parent) return 0;
      }
      auto node = std::make_unique<TreeNode>();
      node->handle = s->next++;
      node->parent = parent;
      FillNode(node.get(), insert->item);
      std::vector<TreeNode*>& siblings = parent ? parent->children : s->roots;
      auto at = siblings.end();
      if (insert->hInsertAfter == TVI_FIRST) {
        at = siblings.begin();
      } else if (insert->hInsertAfter == TVI_SORT) {
        at = std::find_if(siblings.begin(), siblings.end(), [&](TreeNode* n) {
          return lstrcmpiW(n->text.c_str(), node->text.c_str()) > 0;
        });
      } else if (insert->hInsertAfter && insert->hInsertAfter != TVI_LAST) {
        auto after = std::find(siblings.begin(), siblings.end(), NodeOf(s, insert->hInsertAfter));
        if (after != siblings.end()) at = after + 1;
      }
      siblings.insert(at, node.get());
      HTREEITEM handle = HandleOf(node.get());
      s->nodes[node->handle] = std::move(node);
      InvalidateRect(hwnd, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(handle);
    }
    case TVM_DELETEITEM: {
      auto item = reinterpret_cast<HTREEITEM>(lparam);
      if (!item || item == TVI_ROOT) {
        for (TreeNode* root : std::vector<TreeNode*>(s->roots)) EraseNode(s, root);
      } else {
        TreeNode* node = NodeOf(s, item);
        if (!node) return FALSE;
        EraseNode(s, node);
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETCOUNT:
      return static_cast<LRESULT>(s->nodes.size());
    case TVM_EXPAND: {
      TreeNode* node = NodeOf(s, reinterpret_cast<HTREEITEM>(lparam));
      if (!node) return FALSE;
      UINT code = static_cast<UINT>(wparam) & 3;
      if (code == TVE_EXPAND) node->state |= TVIS_EXPANDED;
      if (code == TVE_COLLAPSE) node->state &= ~TVIS_EXPANDED;
      if (code == TVE_TOGGLE) node->state ^= TVIS_EXPANDED;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETNEXTITEM: {
      TreeNode* node = NodeOf(s, reinterpret_cast<HTREEITEM>(lparam));
      switch (wparam) {
        case TVGN_ROOT:
          return reinterpret_cast<LRESULT>(s->roots.empty() ? nullptr : HandleOf(s->roots.front()));
        case TVGN_CARET:
          return reinterpret_cast<LRESULT>(HandleOf(s->caret));
        case TVGN_DROPHILITE:
          return reinterpret_cast<LRESULT>(HandleOf(s->drop));
        case TVGN_FIRSTVISIBLE:
          return reinterpret_cast<LRESULT>(
              HandleOf(s->first_visible ? s->first_visible : (s->roots.empty() ? nullptr : s->roots.front())));
        case TVGN_CHILD:
          if (!lparam || reinterpret_cast<HTREEITEM>(lparam) == TVI_ROOT)
            return reinterpret_cast<LRESULT>(s->roots.empty() ? nullptr : HandleOf(s->roots.front()));
          return reinterpret_cast<LRESULT>(node && !node->children.empty() ? HandleOf(node->children.front()) : nullptr);
        case TVGN_PARENT:
          return reinterpret_cast<LRESULT>(node ? HandleOf(node->parent) : nullptr);
        case TVGN_NEXT:
        case TVGN_PREVIOUS: {
          if (!node) return 0;
          std::vector<TreeNode*>& siblings = SiblingsOf(s, node);
          auto it = std::find(siblings.begin(), siblings.end(), node);
          if (wparam == TVGN_NEXT) return reinterpret_cast<LRESULT>(it + 1 != siblings.end() ? HandleOf(*(it + 1)) : nullptr);
          return reinterpret_cast<LRESULT>(it != siblings.begin() ? HandleOf(*(it - 1)) : nullptr);
        }
        case TVGN_NEXTVISIBLE:
          return reinterpret_cast<LRESULT>(node ? HandleOf(NextVisible(s, node)) : nullptr);
        case TVGN_PREVIOUSVISIBLE: {
          if (!node || s->roots.empty()) return 0;
          TreeNode* prev = nullptr;
          for (TreeNode* n = s->roots.front(); n && n != node; n = NextVisible(s, n)) prev = n;
          return reinterpret_cast<LRESULT>(HandleOf(prev));
        }
        case TVGN_LASTVISIBLE: {
          TreeNode* last = nullptr;
          for (TreeNode* n = s->roots.empty() ? nullptr : s->roots.front(); n; n = NextVisible(s, n)) last = n;
          return reinterpret_cast<LRESULT>(HandleOf(last));
        }
        default:
          return 0;
      }
    }
    case TVM_SELECTITEM: {
      auto item = reinterpret_cast<HTREEITEM>(lparam);
      TreeNode* node = item ? NodeOf(s, item) : nullptr;
      if (item && !node) return FALSE;
      switch (wparam & 0xFF) {
        case TVGN_CARET: return SelectCaret(hwnd, s, node, TVC_UNKNOWN) ? TRUE : FALSE;
        case TVGN_DROPHILITE: s->drop = node; return TRUE;
        case TVGN_FIRSTVISIBLE: s->first_visible = node; return TRUE;
        default: return FALSE;
      }
    }
    case TVM_GETITEMW: {
      auto* item = reinterpret_cast<TVITEMW*>(lparam);
      if (!item) return FALSE;
      TreeNode* node = NodeOf(s, item->hItem);
      if (!node) return FALSE;
      FillItem(node, item);
      return TRUE;
    }
    case TVM_SETITEMW: {
      auto* item = reinterpret_cast<const TVITEMW*>(lparam);
      if (!item) return FALSE;
      TreeNode* node = NodeOf(s, item->hItem);
      if (!node) return FALSE;
      FillNode(node, *item);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lparam);
      if (!r) return FALSE;
      TreeNode* target = NodeOf(s, *reinterpret_cast<HTREEITEM*>(lparam));
      if (!target) return FALSE;
      int row = 0, height = 16;
      for (TreeNode* n = s->roots.empty() ? nullptr : s->roots.front(); n; n = NextVisible(s, n), ++row)
        if (n == target) {
          RECT client;
          GetClientRect(hwnd, &client);
          *r = RECT{0, row * height, client.right, (row + 1) * height};
          return TRUE;
        }
      return FALSE;
    }
    case WM_KEYDOWN: {
      if (s->roots.empty()) return 0;
      TreeNode* next = s->caret;
      if (wparam == VK_DOWN) next = s->caret ? NextVisible(s, s->caret) : s->roots.front();
      if (wparam == VK_HOME) next = s->roots.front();
      if (next && next != s->caret) SelectCaret(hwnd, s, next, TVC_BYKEYBOARD);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

}  // namespace

void RegisterTreeViewClass() { Register(WC_TREEVIEWW, TreeProc); }

}  // namespace platform
