/*
 * Quillbury popup library: shows an element of a popup template, which the add-on has put at the top of
 * the page body, above everything else in the page and above a screen that dims the page.
 *
 * It runs inside pages of every document mode of Internet Explorer 7 to 11, so it is ECMAScript 3 only:
 * attachEvent where addEventListener is missing, an alpha filter where opacity is missing, no JSON, no
 * ES5 library functions. The add-on evaluates this whole text again with every popup it shows: doing so
 * defines Popup afresh, while the popups already shown stay known through the state kept on the window,
 * so Popup.hide finds them whichever evaluation showed them.
 */
/* exported Popup */
var Popup = (function (win, doc) {
    var FIRST_Z_INDEX = 999999;
    var MAX_Z_INDEX = 2147483647;
    var SCREEN_COLOUR = '#000000';
    var SCREEN_OPACITY = 0.4;

    // Shared by every evaluation of the library in this window.
    var state = win.QuillburyPopupState;
    if (!state) {
        state = { zIndex: FIRST_Z_INDEX, shown: {} };
        win.QuillburyPopupState = state;
    }

    var style = {
        // Inline and important where the browser allows it, so the page's style sheets cannot undo it.
        set: function (element, name, value) {
            var declaration = element.style;
            if (declaration.setProperty) {
                declaration.setProperty(name, value, 'important');
            } else {
                declaration[name.replace(/-([a-z])/g, function (match, letter) {
                    return letter.toUpperCase();
                })] = value;
            }
        },

        opacity: function (element, value) {
            if (typeof element.style.opacity === 'string') {
                style.set(element, 'opacity', String(value));
            } else {
                // eslint-disable-next-line no-restricted-properties -- the style property, not Array#filter
                element.style.filter = 'alpha(opacity=' + Math.round(value * 100) + ')';
            }
        },

        computed: function (element) {
            if (win.getComputedStyle) {
                return win.getComputedStyle(element, null);
            }
            return element.currentStyle;
        }
    };

    var events = {
        // Returns the function that removes the listener again.
        listen: function (target, type, handler) {
            if (target.addEventListener) {
                target.addEventListener(type, handler, false);
                return function () {
                    target.removeEventListener(type, handler, false);
                };
            }
            var wrapper = function () {
                return handler(win.event);
            };
            target.attachEvent('on' + type, wrapper);
            return function () {
                target.detachEvent('on' + type, wrapper);
            };
        },

        stop: function (event) {
            if (event.stopPropagation) {
                event.stopPropagation();
            } else {
                event.cancelBubble = true;
            }
        }
    };

    var screen = {
        // The element whose client area is the viewport: the root element, or the body in quirks mode.
        root: function () {
            return doc.compatMode === 'CSS1Compat' ? doc.documentElement : doc.body;
        },

        scroll: function () {
            if (typeof win.pageXOffset === 'number') {
                return { left: win.pageXOffset, top: win.pageYOffset };
            }
            return { left: screen.root().scrollLeft, top: screen.root().scrollTop };
        },

        viewport: function () {
            return { width: screen.root().clientWidth, height: screen.root().clientHeight };
        },

        // The whole document, or the viewport when the document is smaller.
        documentSize: function () {
            var root = doc.documentElement, body = doc.body, view = screen.viewport();
            return {
                width: Math.max(root.scrollWidth, body.scrollWidth, view.width),
                height: Math.max(root.scrollHeight, body.scrollHeight, view.height)
            };
        },

        // Stacking orders for a popup and the screen beneath it, above every positioned element of the
        // page and above every popup shown before, counting upwards from FIRST_Z_INDEX.
        nextZIndices: function () {
            var elements = doc.getElementsByTagName('*'), highest = state.zIndex, computed, z, i;
            for (i = 0; i < elements.length; i++) {
                computed = style.computed(elements[i]);
                if (computed && computed.display !== 'none' && computed.position !== 'static') {
                    z = parseInt(computed.zIndex, 10);
                    if (z > highest) {
                        highest = z;
                    }
                }
            }
            state.zIndex = Math.min(highest + 2, MAX_Z_INDEX);
            return { screen: state.zIndex - 1, popup: state.zIndex };
        }
    };

    var position = {
        // The top left corner of the element's border box in document coordinates.
        of: function (element) {
            var rect = element.getBoundingClientRect(), scroll = screen.scroll();
            return { left: rect.left + scroll.left, top: rect.top + scroll.top };
        },

        // Puts an absolutely positioned element at a place in the document, whichever box its coordinates
        // are relative to (pages often position their body).
        place: function (element, left, top) {
            style.set(element, 'left', '0px');
            style.set(element, 'top', '0px');
            var origin = position.of(element);
            style.set(element, 'left', Math.round(left - origin.left) + 'px');
            style.set(element, 'top', Math.round(top - origin.top) + 'px');
        },

        // At the top edge of the body, centred in the viewport, then moved up or left where it would reach
        // past the viewport, but never above or left of the viewport's origin.
        popup: function (element) {
            var scroll = screen.scroll(), view = screen.viewport();
            var width = element.offsetWidth, height = element.offsetHeight;
            var left = scroll.left + (view.width - width) / 2;
            var top = position.of(doc.body).top;
            if (top + height > scroll.top + view.height) {
                top = scroll.top + view.height - height;
            }
            if (left + width > scroll.left + view.width) {
                left = scroll.left + view.width - width;
            }
            position.place(element, Math.max(left, scroll.left), Math.max(top, scroll.top));
        }
    };

    // The screen goes right after the popup (which stays the first content of the body) and covers the
    // whole document beneath it.
    function createScreen(popup, zIndex) {
        var layer = doc.createElement('div'), size = screen.documentSize();
        style.set(layer, 'position', 'absolute');
        style.set(layer, 'display', 'block');
        style.set(layer, 'margin', '0px');
        style.set(layer, 'padding', '0px');
        style.set(layer, 'border', '0px none');
        style.set(layer, 'background', SCREEN_COLOUR + ' none');
        style.set(layer, 'width', size.width + 'px');
        style.set(layer, 'height', size.height + 'px');
        style.set(layer, 'z-index', String(zIndex));
        style.opacity(layer, SCREEN_OPACITY);
        popup.parentNode.insertBefore(layer, popup.nextSibling);
        position.place(layer, 0, 0);
        return layer;
    }

    // Clicks and mouse-ups inside a popup do not reach the page. Attached once and for good: the "Close"
    // link hides the popup during the very click that must stay inside.
    function keepEventsInside(element) {
        var keep = function (event) {
            events.stop(event);
        };
        if (!element.quillburyPopupKeepsEvents) {
            element.quillburyPopupKeepsEvents = true;
            events.listen(element, 'mouseup', keep);
            events.listen(element, 'click', keep);
        }
    }

    function hide(id) {
        var key = '#' + id, record = state.shown[key];
        if (!record) {
            return;
        }
        delete state.shown[key];
        record.release();
        style.set(record.element, 'display', 'none');
        if (record.screen.parentNode) {
            record.screen.parentNode.removeChild(record.screen);
        }
    }

    function show(id, modal) {
        var element = doc.getElementById(id);
        if (!element || !element.parentNode || !doc.body) {
            return;
        }
        hide(id);

        var zIndex = screen.nextZIndices();
        style.set(element, 'position', 'absolute');
        style.set(element, 'display', 'block');
        style.set(element, 'z-index', String(zIndex.popup));
        position.popup(element);
        var layer = createScreen(element, zIndex.screen);
        keepEventsInside(element);

        var releases = [];
        if (modal) {
            element.tabIndex = -1;
            try {
                element.focus();
            } catch (ignored) {
                // Old versions refuse focus to some elements; the popup is shown all the same.
            }
        } else {
            // Listens only once the current event, if any, is over: the mouse-up that led to this call must
            // not hide the popup again.
            var timer = win.setTimeout(function () {
                timer = null;
                releases.push(events.listen(doc, 'mouseup', function () {
                    hide(id);
                }));
            }, 0);
            releases.push(function () {
                if (timer) {
                    win.clearTimeout(timer);
                }
            });
        }

        state.shown['#' + id] = {
            element: element,
            screen: layer,
            release: function () {
                var i;
                for (i = 0; i < releases.length; i++) {
                    releases[i]();
                }
            }
        };
    }

    // A failure inside a page we are a guest in must never show the browser's script error dialog.
    function guarded(action) {
        return function (id, modal) {
            try {
                action(String(id), modal);
            } catch (ignored) {
                // Nothing to report to from inside the page.
            }
        };
    }

    var showGuarded = guarded(show), hideGuarded = guarded(hide);
    return {
        show: function (id) {
            showGuarded(id, false);
        },
        showModal: function (id) {
            showGuarded(id, true);
        },
        hide: function (id) {
            hideGuarded(id);
        }
    };
}(window, document));
