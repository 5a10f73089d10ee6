// The browser back end's functions that code outside platform/web calls by name, linked
// into the page's program with --js-library.
mergeInto(LibraryManager.library, {
    // platform/desktop/help_viewer_web.cpp: the help page in a new tab; 0 when the browser
    // would not open one.
    veldra_open_page: function(url) {
        return window.open(UTF8ToString(url), '_blank') ? 1 : 0;
    },
});
