// SPDX-License-Identifier: MIT
// The menu bar: the game announces its menus and items (and the page adds its own), the page
// builds them for the mouse and for screen readers, opens and closes them, and hands a chosen item
// to the game. Their keyboard is menu-keys.js's.
import {blocked, callWithText} from './game.js';
import {afterInput} from './frames.js';
import {releaseHeld} from './held.js';
import {returnKeyboard, keyboardBackUnlessMoved} from './keyboard.js';
import {barEntriesSized} from './touch.js';

const menubar = document.getElementById('menubar');
const bar = {
  entries: new Map(),  // control name -> {element, item, shortcut, enabled, access, children, ...}
  last: null,          // the menu bar entry that the next item goes in, as they are announced
  open: null,
  active: null,        // the open menu's item that the keyboard is on
  underway: '',        // the game's item whose command runs now (the boxes it opens know it)
};
// The open menu, the item the keyboard is on in it, an entry by name, and every entry.
export function openMenu() { return bar.open; }
export function activeItem() { return bar.active; }
export function menuNamed(name) { return bar.entries.get(name); }
export function allMenus() { return [...bar.entries.values()]; }
export function commandUnderway() { return bar.underway; }

// A menu's entry on the bar, as the keyboard stands on it.
export const barEntry = '.menu > [role=menuitem]';

// An entry's caption with its access letter (after '&') underlined.
function captionLabel(caption) {
  const label = document.createElement('span');
  const i = caption.indexOf('&');
  label.append(caption.slice(0, Math.max(i, 0)));
  if (i >= 0) {
    const u = document.createElement('u');
    u.textContent = caption[i + 1];
    label.append(u, caption.slice(i + 2));
  } else {
    label.append(caption);
  }
  return label;
}

export function addMenu(name, caption, shortcut, depth) {
  const access = caption.includes('&') ? caption[caption.indexOf('&') + 1].toLowerCase() : '';
  const element = document.createElement('div');
  if (caption === '-') {
    element.className = 'separator';
    element.setAttribute('role', 'separator');
    bar.last.items.appendChild(element);
    return;
  }
  const label = captionLabel(caption);
  element.appendChild(label);
  const entry = {element, name, shortcut, enabled: true, access, children: []};
  // For screen readers: a menu bar of menus of items, each by its caption's words. A menu's
  // entry on the bar is its label, its items a menu beside it.
  entry.item = depth === 0 ? label : element;
  entry.item.setAttribute('role', 'menuitem');
  // The keyboard goes through the menus by the focus, on what a screen reader names; the bar is
  // one stop of Tab.
  entry.item.tabIndex = depth === 0 && !menubar.children.length ? 0 : -1;
  if (depth === 0) addBarEntry(entry, label);
  else addItem(entry, caption.replace('&', ''));
  bar.entries.set(name, entry);
}
function addBarEntry(entry, label) {
  const element = entry.element;
  element.className = 'menu';
  element.dataset.name = label.dataset.name = entry.name;
  element.setAttribute('role', 'none');
  entry.items = document.createElement('div');
  entry.items.className = 'items';
  element.appendChild(entry.items);
  menubar.appendChild(element);
  barEntriesSized.observe(element);
  element.addEventListener('mousedown', (e) => {
    e.preventDefault();
    if (e.target.closest('.item')) return;
    chooseMenu(entry);
  });
  bar.last = entry;
}
function addItem(entry, plain) {
  const {element, shortcut} = entry;
  element.className = 'item';
  element.dataset.name = entry.name;
  element.setAttribute('aria-label', plain);
  // A bar entry with items opens a menu of them.
  const menu = bar.last;
  if (!menu.children.length) {
    menu.items.setAttribute('role', 'menu');
    menu.items.setAttribute('aria-label', menu.item.textContent);
    menu.item.setAttribute('aria-haspopup', 'menu');
    menu.item.setAttribute('aria-expanded', 'false');
  }
  if (shortcut) {
    element.setAttribute('aria-keyshortcuts', shortcut.replace('Ctrl+', 'Control+'));
    const keys = document.createElement('span');
    keys.className = 'keys';
    keys.textContent = shortcut;
    element.appendChild(keys);
  }
  menu.items.appendChild(element);
  menu.children.push(entry);
  element.addEventListener('mouseup', () => command(entry));
}

export function menuEnabled(name, enabled) {
  const entry = bar.entries.get(name);
  if (!entry || entry.enabled === !!enabled) return;
  entry.enabled = !!enabled;
  entry.element.classList.toggle('disabled', !enabled);
  entry.item.setAttribute('aria-disabled', String(!enabled));
  if (!enabled && bar.open === entry) closeMenus();
  for (const follower of bar.entries.values())
    if (follower.follows === name) menuEnabled(follower.name, enabled);
}

// The menus gone, for a sitting that brings its own.
export function clearMenus() {
  closeMenus();
  menubar.replaceChildren();
  bar.entries.clear();
  bar.last = null;
}

export function chooseMenu(entry) {
  if (!entry.enabled) return;
  if (!entry.children.length) {
    closeMenus();
    command(entry);
    return;
  }
  const wasOpen = bar.open === entry;
  closeMenus();
  if (!wasOpen) showOpen(entry);
}
// A menu opens, as the screen and a screen reader show it; what was held is let go.
export function showOpen(menu) {
  bar.open = menu;
  menu.element.classList.add('open');
  if (menu.children.length) menu.item.setAttribute('aria-expanded', 'true');
  releaseHeld();
}
// The keyboard on an open menu's item.
export function activate(item) {
  if (bar.active) bar.active.element.classList.remove('active');
  bar.active = item;
  item.element.classList.add('active');
  item.element.focus();
}

export function closeMenus() {
  if (bar.open) {
    bar.open.element.classList.remove('open');
    if (bar.open.children.length) bar.open.item.setAttribute('aria-expanded', 'false');
  }
  if (bar.active) bar.active.element.classList.remove('active');
  bar.open = bar.active = null;
  // The keyboard does not stay on an item that is gone.
  if (menubar.contains(document.activeElement) && !document.activeElement.matches(barEntry))
    returnKeyboard();
}

// An item chosen: the page's own does its action, the game's goes to the game (How to Play's box
// with the page's word on its keys beside it).
export function command(entry) {
  closeMenus();
  if (!entry.enabled || blocked()) return;
  if (entry.action) {
    returnKeyboard();
    entry.action();
    return;
  }
  bar.underway = entry.name;
  callWithText('cavewing_menu', entry.name);
  bar.underway = '';
  afterInput();
  const at = document.activeElement;
  setTimeout(() => keyboardBackUnlessMoved(at), 0);
}
