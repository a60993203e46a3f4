// SPDX-License-Identifier: MIT
// The menus by keyboard, as a menu bar goes: Alt alone or F10 opens the first menu, Left and Right
// go from menu to menu, Up and Down from item to item, Enter or Space chooses, Esc closes; Alt and
// a menu's letter opens that menu, and in an open menu an item's letter chooses it.
import {activate, activeItem, allMenus, chooseMenu, closeMenus, command, menuNamed, openMenu,
        showOpen} from './menus.js';
import {returnKeyboard} from './keyboard.js';

export function enabledMenus() { return allMenus().filter((m) => m.items && m.enabled); }
// The next of `list` from `from` (-1 or 1 away, round the end), or the first or last.
function next(list, from, step) {
  const i = list.indexOf(from);
  if (i < 0) return step > 0 ? list[0] : list[list.length - 1];
  return list[(i + step + list.length) % list.length];
}
// Opens a menu with its first (`step` 1) or last (-1) item under the keyboard, or none (0); a
// menu of no items (High Scores) only stands under it.
function openByKeyboard(menu, step = 1) {
  if (!menu) return;
  closeMenus();
  showOpen(menu);
  const item = step && next(menu.children.filter((c) => c.enabled), null, step);
  if (item) activate(item);
  else menu.item.focus();
}
export function menuByLetter(letter) {
  return allMenus().find((m) => m.items && m.access === letter.toLowerCase());
}
// Alt and a menu's letter: its menu opens, or the menu with no items is chosen at once.
export function openByLetter(menu) {
  if (menu.children.length) {
    if (menu.enabled) openByKeyboard(menu);
  } else {
    chooseMenu(menu);
  }
}
export function toggleMenusByKeyboard() {
  if (openMenu()) {
    closeMenus();
    returnKeyboard();
  } else {
    openByKeyboard(enabledMenus()[0]);
  }
}
// A key while a menu is open, or while the keyboard stands on the bar; false: not the menus'.
export function menuKey(e) {
  const open = openMenu();
  const here = open || menuNamed(e.target.dataset.name);
  switch (e.key) {
    case 'Escape':
      closeMenus();
      returnKeyboard();
      return true;
    case 'ArrowLeft':
    case 'ArrowRight': {
      const menu = next(enabledMenus(), here, e.key === 'ArrowLeft' ? -1 : 1);
      if (open) openByKeyboard(menu);
      else if (menu) menu.item.focus();
      return true;
    }
    case 'ArrowUp':
    case 'ArrowDown': {
      const step = e.key === 'ArrowUp' ? -1 : 1;
      const items = open ? open.children.filter((c) => c.enabled) : [];
      if (!open) openByKeyboard(here.enabled ? here : null, step);
      else if (items.length) activate(next(items, activeItem(), step));
      return true;
    }
    case 'Enter':
    case ' ':
      if (activeItem()) command(activeItem());
      else if (!here.children.length) chooseMenu(here);
      else if (!open && here.enabled) openByKeyboard(here);
      return true;
    case 'F10':
      toggleMenusByKeyboard();
      return true;
    case 'Tab':
      closeMenus();
      return false;
  }
  if (e.key.length !== 1) return false;
  // Alt and a menu's letter go to that menu; on the bar the letter alone does, as on the
  // desktop's (a shortcut there is still a shortcut).
  if (e.altKey || (!open && !e.ctrlKey && !e.metaKey)) {
    const menu = menuByLetter(e.key);
    if (menu) openByLetter(menu);
    return true;
  }
  if (!open) return false;
  const item = open.children.find((c) => c.access === e.key.toLowerCase());
  if (item) command(item);
  return true;
}
