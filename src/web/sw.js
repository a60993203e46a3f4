// SPDX-License-Identifier: MIT
// Keeps the page's files in the browser, so that the page opens, plays, ranks and keeps its
// recordings with no server at all. Every build has a cache of its own (the version below is
// the build's: cmake/Web.cmake writes it with the list of files); a new build's worker fills its
// cache, then drops the older ones. Files are answered from the cache first; the whole fonts,
// needed only for rare names, are kept as they are first fetched.
'use strict';

const version = '@CAVEWING_PAGE_VERSION@';
const files = [@CAVEWING_PAGE_FILES@];
const cacheName = 'cavewing-' + version;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(cacheName)
    .then((cache) => cache.addAll(files.map((f) => new Request(f, {cache: 'no-cache'}))))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith('cavewing-') && n !== cacheName)
      .map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  const url = new URL(request.url);
  if (request.method !== 'GET' || url.origin !== location.origin) return;
  // The score server's answers are never the page's files: always asked afresh.
  if (url.pathname.startsWith(new URL('api/', self.registration.scope).pathname)) return;
  // The page's address carries its settings (?seed=, ?name=, ?replay): the same page for all.
  const navigation = request.mode === 'navigate';
  event.respondWith(caches.open(cacheName).then((cache) =>
    cache.match(navigation ? './' : request, {ignoreSearch: navigation}).then((kept) => kept ||
      fetch(request).then((response) => {
        if (response.ok && !navigation) cache.put(request, response.clone());
        return response;
      }))));
});
