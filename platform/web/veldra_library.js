// The browser back end's functions that code outside platform/web calls by name, linked
// into the page's program with --js-library.
mergeInto(LibraryManager.library, {
    // platform/desktop/help_viewer_web.cpp: the help page in a new tab; 0 when the browser
    // would not open one.
    veldra_open_page: function(url) {
        return window.open(UTF8ToString(url), '_blank') ? 1 : 0;
    },
    // platform/desktop/settings_file_web.cpp: the settings' text in the page's storage.
    // Reading gives a malloc'd copy, or 0 when there is none or the storage is refused
    // (reaching localStorage itself may throw); writing gives 0 when it is refused.
    veldra_settings_read__deps: ['malloc'],
    veldra_settings_read: function() {
        try {
            const text = window.localStorage.getItem('veldra.settings');
            if (text === null) return 0;
            const size = lengthBytesUTF8(text) + 1;
            const copy = _malloc(size);
            if (copy) stringToUTF8(text, copy, size);
            return copy;
        } catch (error) {
            return 0;
        }
    },
    veldra_settings_write: function(text) {
        try {
            window.localStorage.setItem('veldra.settings', UTF8ToString(text));
            return 1;
        } catch (error) {
            return 0;
        }
    },
});
