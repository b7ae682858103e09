// The page's side of the browser edition, over the core (web/webcore.cpp
// compiled to WebAssembly, loaded as createLodrixCore). A click, a key or a
// timer tick becomes one core call; then the page applies what the controller
// asked of the controls and copies the painted pixels to the two canvases.
// Nothing a lesson depends on is decided here.
//
// For tests and tools (web/hook.js), window.lodrix.run(text) plays lodrix-replay's commands,
// window.lodrix.state() gives the state line run('state') gives,
// window.lodrix.picture('window' | 'scene') gives a canvas as a PNG data URL,
// window.lodrix.csv() the run so far as the export writes it,
// window.lodrix.link() the page's address with the query of what it shows and
// window.lodrix.commentaryText() the text the commentary box shows.
'use strict';

(function () {
    const WINDOW = 0; // the core's surfaces
    const SCENE = 1;
    const formWidth = 800; // the design client area, in form pixels
    const formHeight = 560;
    const firstIntervalMs = 50; // the timer's interval before its first tick
    const catchUpIntervals = 3; // how far behind the timer still keeps its beat
    const sceneLeft = 8; // FOND's place on the form
    const sceneTop = 16;
    const downloadLifetimeMs = 60000; // how long a download's blob URL outlives its click
    // The layout in the hand: on a touch screen where the form would draw its
    // 10.5-pixel texts under 12 CSS pixels, the picture in parts, none of whose
    // texts (13-pixel cells at the least) is drawn under 12 CSS pixels either.
    const handTextPx = 12;
    const formTextPx = 10.5;
    const smallestCellPx = 13;
    const gainStep = 5; // the gain slider's positions a − or + tap moves it
    const doubleTapMs = 300;
    const largestZoom = 4;

    const $ = (id) => document.getElementById(id);
    const form = $('form');
    const canvases = [$('Canvas'), $('FOND')];
    const contexts = canvases.map((canvas) => canvas.getContext('2d'));

    let core = null;
    let interval = firstIntervalMs;
    let due = 0; // when the next tick should come, on performance.now()'s clock
    let timeout = 0;
    let timerRuns = false;
    let idlePictureShown = false;
    let described = '';
    const pageTitle = document.title;

    // ---- What the core painted and asked -------------------------------------

    // A box of RGBA pixels handed over by the core: x, y, width, height, address.
    function copyBox(address, surface) {
        const [x, y, width, height, pixels] = core.HEAP32.subarray(address >> 2, (address >> 2) + 5);
        if (width <= 0 || height <= 0)
            return false;
        const rgba = new Uint8ClampedArray(core.HEAPU8.buffer, pixels, width * height * 4);
        contexts[surface].putImageData(new ImageData(rgba, width, height), x, y);
        return true;
    }

    function present() {
        let painted = false;
        for (const surface of [WINDOW, SCENE])
            painted = copyBox(core._lodrix_take_painted(surface), surface) || painted;
        if (painted && inHand())
            drawParts();
        return painted;
    }

    function switchControl(control, on) {
        if (!control)
            return;
        if ('disabled' in control)
            control.disabled = !on;
        else
            control.setAttribute('aria-disabled', String(!on)); // a label, greyed on the desktop
        control.hidden = !on;
    }

    function applyRequests() {
        const requests = core.UTF8ToString(core._lodrix_requests());
        for (const line of requests.split('\n')) {
            const space = line.indexOf(' ');
            const verb = line.slice(0, space);
            const what = line.slice(space + 1);
            if (verb === 'on' || verb === 'off')
                switchControl($(what), verb === 'on');
            else if (verb === 'hide' && $(what))
                $(what).hidden = true;
            else if (verb === 'create')
                createCommentaryButton();
            else if (verb === 'show')
                showCommentary(what);
            if (what === 'RichEdit2')
                $('RichEdit2Close').hidden = $('RichEdit2').hidden;
            if (what === 'FreeSettings') {
                switchControl($('FreeViewArea'), verb === 'on');
                showFreeSettings();
                // Keeping runs belongs to the free-setting entry: its menu items too.
                for (const element of $('menu').querySelectorAll('[data-free]'))
                    element.hidden = verb !== 'on';
            }
        }
    }

    // The pause sign and what a screen reader is told of the two canvases
    // follow every call, as the desktop's do.
    function showHeld() {
        const paused = core._lodrix_paused() !== 0;
        const sign = $('pauseSign');
        if (sign.hidden === paused) {
            sign.hidden = !paused;
            document.title = paused ? tr(pageTitle).replace('Lodrix', tr('Lodrix (en pause)')) : tr(pageTitle);
        }
        const row = core._lodrix_rubrique();
        const lessons = $('ListBox1').options;
        const lesson = row >= 0 && row < lessons.length ? lessons[row].text : '';
        const text = core.ccall('lodrix_describe', 'string', ['string'], [lesson]);
        if (text !== described) {
            described = text;
            for (const canvas of canvases)
                canvas.setAttribute('aria-description', text);
        }
    }

    // One controller call, then what it changed on the page.
    function call(name, ...args) {
        core['_lodrix_' + name](...args);
        applyRequests();
        present();
        showHeld();
    }

    // ---- Languages -------------------------------------------------------------

    // A French text of the page in the controller's language, each %N then
    // replaced by the Nth value.
    function tr(french, ...values) {
        const text = core ? core.ccall('lodrix_translate', 'string', ['string'], [french]) : french;
        return text.replace(/%(\d)/g, (all, n) => (n >= 1 && n <= values.length ? String(values[n - 1]) : all));
    }

    // The page is written in French: every text and label shown in the
    // controller's language, the French kept so that the language can change
    // again. What the script writes later (the commentary button, the speed
    // bar's value, the canvases' descriptions) it writes through tr().
    const frenchTexts = new Map(); // a text node to its French
    const frenchAttributes = new Map(); // an element to its attributes' French, by name
    const translatedAttributes = ['aria-label', 'aria-description', 'title'];
    const untranslated = '#RichEdit1, #RichEdit2, #fontNotice, #version, #message, #B1, #notice';
    function translatePage() {
        document.documentElement.lang = core.UTF8ToString(core._lodrix_language());
        const shown = (key, french) => {
            if (!frenchTexts.has(key))
                frenchTexts.set(key, french);
            return frenchTexts.get(key);
        };
        const hand = $('hand');
        for (const root of [form, hand]) {
            const walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
            for (let node = walker.nextNode(); node; node = walker.nextNode()) {
                if (!node.nodeValue.trim() || node.parentElement.closest(untranslated))
                    continue;
                const french = shown(node, node.nodeValue);
                node.nodeValue = french.replace(french.trim(), tr(french.trim().replace(/\s+/g, ' ')));
            }
        }
        for (const element of new Set([form, ...form.querySelectorAll('*'), hand, ...hand.querySelectorAll('*')])) {
            if (element.closest('#B1'))
                continue; // written through tr() when it is made
            for (const name of translatedAttributes) {
                // The canvases' descriptions change with every frame, through tr().
                if (!element.hasAttribute(name) || (element.tagName === 'CANVAS' && name === 'aria-description'))
                    continue;
                if (!frenchAttributes.has(element))
                    frenchAttributes.set(element, new Map());
                const french = frenchAttributes.get(element);
                if (!french.has(name))
                    french.set(name, element.getAttribute(name));
                element.setAttribute(name, tr(french.get(name)));
            }
        }
        const button = $('B1');
        if (button) {
            button.textContent = tr('Commentaires');
            button.setAttribute('aria-description', tr('Affiche le commentaire de la leçon terminée.'));
        }
        document.title = tr(pageTitle);
    }

    // ---- The controls ----------------------------------------------------------

    function createCommentaryButton() {
        if ($('B1'))
            return;
        const button = document.createElement('button');
        button.id = 'B1';
        button.type = 'button';
        button.textContent = tr('Commentaires');
        button.setAttribute('aria-description', tr('Affiche le commentaire de la leçon terminée.'));
        button.disabled = true;
        button.hidden = true;
        button.addEventListener('click', () => call('b1_click'));
        $('RichEdit2').after(button); // next in the Tab order, as on the desktop
    }

    function showCommentary(name) {
        const box = $('RichEdit2');
        box.hidden = false;
        $('RichEdit2Close').hidden = false;
        const teachers = teacherCommentaries.get(name.replace(/\..*$/, '')); // lodrix2.en.rtf: lodrix2
        if (teachers) {
            box.replaceChildren(commentaryFragment(teachers));
            box.scrollTop = 0;
            return;
        }
        const commentary = $('commentary-' + name);
        if (!commentary) {
            report(tr("Impossible d'ouvrir le commentaire « %1 ».", name));
            return;
        }
        box.replaceChildren(commentary.content.cloneNode(true));
        box.scrollTop = 0;
    }

    // A message with its OK, and another way out when there is one
    // ({text, act}); once it is closed, focus goes back where it was, or to
    // the control named.
    function report(text, other = null, returnTo = document.activeElement) {
        const box = $('message');
        const before = returnTo;
        const button = (label, act) => {
            const b = document.createElement('button');
            b.type = 'button';
            b.textContent = label;
            b.addEventListener('click', () => {
                box.hidden = true;
                if (before instanceof HTMLElement && before.isConnected)
                    before.focus();
                act?.();
            });
            return b;
        };
        const words = document.createElement('p');
        words.textContent = text;
        const ok = button(tr('OK'));
        box.replaceChildren(words, ok, ...(other ? [button(other.text, other.act)] : []));
        box.onkeydown = (event) => {
            if (event.key === 'Escape')
                ok.click();
        };
        box.hidden = false;
        ok.focus();
    }

    // A list runs its handler when its selection changes, by keyboard or
    // mouse, and when a person clicks the row already selected. A mouse press
    // that changed the selection ran it already: the click after it must not.
    function wireList(list, handler) {
        let pressed = false;
        let pressChanged = false;
        list.addEventListener('pointerdown', () => {
            pressed = true;
            pressChanged = false;
        });
        list.addEventListener('change', () => {
            if (list.selectedIndex < 0)
                return;
            pressChanged = pressed;
            call(handler, list.selectedIndex);
            showWholeRows(list);
        });
        list.addEventListener('click', (event) => {
            if (!pressChanged && event.target instanceof HTMLOptionElement && event.target.selected)
                call(handler, event.target.index);
            pressed = pressChanged = false;
        });
    }

    // A list scrolls by whole rows, as the desktop's does: its first row
    // shown is whole, and so is the chosen row.
    function showWholeRows(list) {
        const row = list.options[0]?.offsetHeight;
        if (!row)
            return;
        const room = list.clientHeight - parseFloat(getComputedStyle(list).paddingTop);
        const shown = Math.max(1, Math.floor(room / row));
        let first = Math.round(list.scrollTop / row);
        if (list.selectedIndex >= 0)
            first = Math.min(list.selectedIndex, Math.max(first, list.selectedIndex - shown + 1));
        if (list.scrollTop !== first * row)
            list.scrollTop = first * row;
    }

    // Another language: the controller starts the chosen entry afresh in it,
    // and the page's texts follow.
    function setLanguage(code) {
        core.ccall('lodrix_set_language', 'number', ['string'], [code]);
        applyRequests();
        present();
        translatePage();
        setScroll(Number($('ScrollBar1').value));
        nameViewArea();
        described = '';
        showHeld();
    }

    function setScroll(ms) {
        const bar = $('ScrollBar1');
        bar.setAttribute('aria-valuetext', tr('une image toutes les %1 ms', ms));
        core._lodrix_set_scroll_position(ms);
    }

    // ---- The free-setting entry's settings ---------------------------------------

    // Each control of the strip names its setting (data-setting), as links,
    // lodrix-replay and the core's settings name it; a list's options hold
    // the words of its choices.
    const settingControls = [...$('FreeSettings').querySelectorAll('[data-setting]')];
    const gain = $('SettingGain');
    const gainSlider = $('SettingGainSlider');

    function freeSettings() {
        return JSON.parse(core.UTF8ToString(core._lodrix_free_settings()));
    }

    // The controls show the controller's settings.
    function showFreeSettings() {
        const s = freeSettings();
        for (const control of settingControls) {
            const value = s[control.dataset.setting];
            if (control.type === 'checkbox')
                control.checked = value === '1';
            else
                control.value = control.type === 'text' ? fieldText(Number(value)) : value;
        }
        // A designed corrector's coefficients, for the corrector that uses them.
        for (const element of $('FreeSettings').querySelectorAll('[data-uses]'))
            element.hidden = !element.dataset.uses.split(' ').includes(s.corrector);
        // A position that gives this gain stays where the hand left it.
        if (core._lodrix_gain_at_slider(Number(gainSlider.value)) !== Number(s.gain))
            gainSlider.value = String(core._lodrix_slider_of_gain(Number(s.gain)));
        gainSlider.setAttribute('aria-valuetext', `G = ${fieldText(Number(s.gain))}`);
        const views = core._lodrix_views();
        $('ViewChooser').value = String(views & 7);
        $('ViewLarge').setAttribute('aria-pressed', views & 8 ? 'true' : 'false');
        gain.disabled = s.corrector === 'DB'; // the two-step corrector has no gain
        gainSlider.disabled = gain.disabled;
        $('SettingGainDown').disabled = $('SettingGainUp').disabled = gain.disabled;
        // The loop's critical gain marked on the track, under the handle's
        // centre at the position that gives it; none without one.
        const critical = core._lodrix_critical_gain_position();
        const mark = $('SettingGainMark');
        mark.hidden = critical < 0 || gainSlider.disabled;
        if (!mark.hidden) {
            const thumb = parseFloat(getComputedStyle(gainSlider).getPropertyValue('--gain-thumb'));
            const travel = gainSlider.offsetWidth - thumb;
            const centre = gainSlider.offsetLeft + thumb / 2 + (travel * critical) / Number(gainSlider.max);
            mark.style.left = `${centre - mark.offsetWidth / 2}px`;
            mark.style.top = `${gainSlider.offsetTop}px`;
        }
    }

    // A number as the lessons write it (« 2,5 » in French), and what a
    // person typed, read with either separator: NaN when it is no number.
    function fieldText(value) {
        return core.UTF8ToString(core._lodrix_field_text(value));
    }

    function readField(text) {
        return core.ccall('lodrix_read_field', 'number', ['string'], [text]);
    }

    // Hands one setting, by its name and its text, to the controller, which
    // stops a run of the entry and shows its idle picture with it. Returns
    // its refusal, if any; refused, nothing changed.
    function setSetting(name, text) {
        const refused = core.ccall('lodrix_set_setting', 'string', ['string', 'string'], [name, text]);
        applyRequests();
        present();
        showHeld();
        showFreeSettings();
        return refused;
    }

    // What a person chose or typed, as the control holds it; the gain field
    // takes either decimal separator, and what is no number goes as typed,
    // for the controller to refuse with its message.
    function applySettingControl(event) {
        const control = event.target;
        let text = control.type === 'checkbox' ? (control.checked ? '1' : '0') : control.value.trim();
        if (control.type === 'text' && !Number.isNaN(readField(text)))
            text = String(readField(text));
        const refused = setSetting(control.dataset.setting, text);
        if (refused)
            report(refused, null, event.target); // to mend what was typed
    }

    function wireControls() {
        wireList($('ListBox1'), 'choix');
        wireList($('ListBox2'), 'choixbis');
        $('Button1').addEventListener('click', () => call('button1_click'));
        $('Button2').addEventListener('click', () => call('button2_click'));
        $('RichEdit2Close').addEventListener('click', () => call('close_commentary'));
        $('ScrollBar1').addEventListener('input', (event) => setScroll(Number(event.target.value)));
        // A number applies once typed (Enter, or leaving the field) or stepped, not digit by digit.
        for (const control of settingControls)
            control.addEventListener('change', applySettingControl);
        // Every move of the slider applies, while it is dragged too.
        const moveSlider = () => {
            gain.value = fieldText(core._lodrix_gain_at_slider(Number(gainSlider.value)));
            applySettingControl({ target: gain });
        };
        gainSlider.addEventListener('input', moveSlider);
        // − and +, in the hand: a few positions of the slider down or up.
        for (const [id, sign] of [['SettingGainDown', -1], ['SettingGainUp', 1]]) {
            $(id).addEventListener('click', () => {
                if (gainSlider.disabled)
                    return;
                const to = Math.min(Number(gainSlider.max), Math.max(0, Number(gainSlider.value) + sign * gainStep));
                gainSlider.value = String(to);
                moveSlider();
            });
        }
        // The views area: which view, and enlarged or not, kept by the core.
        const setViews = (view, large) => {
            call('set_views', view, large ? 1 : 0);
            showFreeSettings();
            nameViewArea();
        };
        $('ViewChooser').addEventListener('change', (event) =>
            setViews(Number(event.target.value), core._lodrix_views() & 8));
        $('ViewLarge').addEventListener('click', () =>
            setViews(core._lodrix_views() & 7, !(core._lodrix_views() & 8)));
        // Page Up and Down move it by the core's page, which doubles or
        // halves the gain, not by the browser's tenth of the range.
        gainSlider.addEventListener('keydown', (event) => {
            if (event.key !== 'PageUp' && event.key !== 'PageDown')
                return;
            event.preventDefault();
            const page = core._lodrix_gain_slider_page() * (event.key === 'PageUp' ? 1 : -1);
            gainSlider.value = String(Number(gainSlider.value) + page);
            gainSlider.dispatchEvent(new Event('input'));
        });
        // The slider's range and its length, from the core: positions over a
        // form pixel of its handle's travel.
        gainSlider.max = String(core._lodrix_gain_slider_positions());
        $('FreeSettings').style.setProperty('--gain-travel', `${core._lodrix_gain_slider_travel()}px`);
    }

    // ---- The views box: the pointer, in form pixels, and the arrow keys go
    // to the core, which decides what they set.

    const viewArea = $('FreeViewArea');
    const gainSliderPage = 30; // the slider's page, as PageUp and PageDown step it

    function nameViewArea() {
        placeViewArea();
        viewArea.setAttribute('aria-label', core.UTF8ToString(core._lodrix_view_name()));
        viewArea.setAttribute('aria-valuetext', `G = ${fieldText(Number(freeSettings().gain))}`);
    }

    function onView(name, ...args) {
        const result = core['_lodrix_' + name](...args);
        applyRequests();
        present();
        showHeld();
        showFreeSettings();
        nameViewArea();
        return result;
    }

    function formPixel(event) {
        return onForm(event.clientX, event.clientY).map(Math.floor);
    }

    // The area lies over the view where it stands, in its place or enlarged.
    function placeViewArea() {
        Object.assign(viewArea.style, { left: `${core._lodrix_view_box(0)}px`, top: `${core._lodrix_view_box(1)}px`,
                                        width: `${core._lodrix_view_box(2)}px`,
                                        height: `${core._lodrix_view_box(3)}px` });
    }

    function wireViewArea() {
        placeViewArea();
        viewArea.addEventListener('pointerdown', (event) => {
            if (event.button !== 0)
                return;
            event.preventDefault();
            viewArea.focus();
            try {
                viewArea.setPointerCapture(event.pointerId); // a drag goes on beyond the box
            } catch {
                // a synthetic event has no pointer to capture
            }
            onView('view_press', ...formPixel(event));
        });
        viewArea.addEventListener('pointermove', (event) => onView('view_pointer', ...formPixel(event)));
        for (const type of ['pointerup', 'pointercancel'])
            viewArea.addEventListener(type, () => core._lodrix_view_release());
        viewArea.addEventListener('pointerleave', () => onView('view_pointer', -1, -1));
        viewArea.addEventListener('keydown', (event) => {
            if (event.altKey || event.ctrlKey || event.metaKey)
                return;
            const steps = { ArrowUp: 1, ArrowRight: 1, ArrowDown: -1, ArrowLeft: -1,
                            PageUp: gainSliderPage, PageDown: -gainSliderPage }[event.key];
            if (!steps)
                return;
            onView('view_step', steps);
            event.preventDefault();
        });
        nameViewArea();
    }

    // ---- The timer -------------------------------------------------------------

    function tick() {
        interval = core._lodrix_timer1_timer();
        applyRequests();
        if (present() && !idlePictureShown) {
            idlePictureShown = true;
            performance.mark('lodrix-first-picture');
        }
        showHeld();
    }

    // Ticks keep to a steady beat: a tick a little late (a busy machine) is
    // made up at once. A changed interval starts a new beat, as the desktop
    // re-arms its timer only then; so does a tick far behind (a hidden tab),
    // rather than catching up in a burst.
    function onTimer() {
        const before = interval;
        tick();
        const now = performance.now();
        const farBehind = now - due > catchUpIntervals * interval;
        due = interval !== before || farBehind ? now + interval : due + interval;
        timeout = setTimeout(onTimer, Math.max(0, due - performance.now()));
    }

    function startTimer() {
        timerRuns = true;
        due = performance.now() + interval;
        timeout = setTimeout(onTimer, interval);
    }

    function stopTimer() {
        timerRuns = false;
        clearTimeout(timeout);
    }

    // ---- The form fits the browser's window ---------------------------------

    // The form as large as the window allows, centred, by the desktop's
    // full-screen rule, which the core holds: canvas pixels become blocks of
    // whole screen pixels (pixelated), the same size for all, when rounding
    // the scale down costs a tenth of the room or less. Only on a screen with
    // fewer pixels than the form are the canvases reduced smoothly: dropping
    // rows would cut the one-pixel lines.
    function fit() {
        const ratio = window.devicePixelRatio || 1;
        const width = document.documentElement.clientWidth;
        const height = document.documentElement.clientHeight;
        const screenPixels = core._lodrix_filling_scale(width * ratio, height * ratio);
        if (matchMedia('(pointer: coarse)').matches && screenPixels / ratio < handTextPx / formTextPx) {
            enterHand(width > height);
            return;
        }
        leaveHand();
        form.classList.toggle('reduced', screenPixels < 1);
        const scale = screenPixels / ratio;
        const left = Math.round(((width - formWidth * scale) / 2) * ratio) / ratio;
        const top = Math.round(((height - formHeight * scale) / 2) * ratio) / ratio;
        form.style.transform = `translate(${left}px, ${top}px) scale(${scale})`;
        form.style.visibility = 'visible';
    }

    // ---- The layout in the hand ---------------------------------------------------

    const handPages = $('handPages');
    const partPages = [...handPages.querySelectorAll('.part')];
    const tabs = [...$('handTabs').querySelectorAll('[role="tab"]')];
    const shownParts = new Set(); // the parts on screen, which follow every frame
    const partScales = []; // CSS pixels per form pixel, by part
    const zooms = partPages.map(() => 1);

    function inHand() {
        return document.body.classList.contains('hand');
    }

    // The form's controls go into the panel, the lesson list shows every row.
    function enterHand(side) {
        if (!inHand()) {
            document.body.classList.add('hand');
            $('hand').hidden = false;
            $('handPanel').append(form);
            form.style.transform = '';
            form.style.visibility = 'visible';
            form.classList.remove('reduced');
            $('ListBox1').size = $('ListBox1').options.length;
            $('SettingGainDown').hidden = $('SettingGainUp').hidden = false;
        }
        document.body.classList.toggle('side', side);
        layoutParts();
        showFreeSettings();
    }

    function leaveHand() {
        if (!inHand())
            return;
        document.body.classList.remove('hand', 'side');
        $('hand').hidden = true;
        document.body.prepend(form);
        $('ListBox1').size = 4;
        $('SettingGainDown').hidden = $('SettingGainUp').hidden = true;
        showWholeRows($('ListBox1'));
        showFreeSettings();
    }

    function partRect(i) {
        const address = core._lodrix_part_rect(i) >> 2;
        return [...core.HEAP32.subarray(address, address + 4)];
    }

    // Each part as large as its page allows: the width, and on its side the
    // height too, by the full-screen rule; never so small that a text of the
    // picture is under 12 CSS pixels (then it pans within its page), and
    // then a whole number of screen pixels a form pixel.
    function layoutParts() {
        laidOut = JSON.stringify(partPages.map((page, i) => partRect(i)));
        const ratio = window.devicePixelRatio || 1;
        const side = document.body.classList.contains('side');
        const room = handPages.clientWidth;
        const roomHeight = side ? handPages.clientHeight : room * 1000;
        partPages.forEach((page, i) => {
            const [, , width] = partRect(i);
            page.hidden = tabs[i + 1].hidden = width === 0;
            if (page.hidden)
                return;
            let screenScale = core._lodrix_part_scale(i, room * ratio, roomHeight * ratio);
            if (screenScale / ratio < handTextPx / smallestCellPx)
                screenScale = Math.ceil((handTextPx / smallestCellPx) * ratio - 1e-9);
            partScales[i] = Math.max(1, screenScale);
            drawPart(i);
        });
        showTab();
    }

    // What the core painted of a part since its last picture, at its scale.
    function drawPart(i) {
        const ratio = window.devicePixelRatio || 1;
        const address = core._lodrix_part_picture(i, partScales[i]) >> 2;
        if (!address)
            return;
        const [x, y, width, height, pixels, wholeWidth, wholeHeight] = core.HEAP32.subarray(address, address + 7);
        const canvas = partPages[i].querySelector('canvas');
        if (canvas.width !== wholeWidth || canvas.height !== wholeHeight) {
            canvas.width = wholeWidth;
            canvas.height = wholeHeight;
            canvas.style.width = `${wholeWidth / ratio}px`;
            canvas.style.height = `${wholeHeight / ratio}px`;
        }
        if (width > 0 && height > 0) {
            const rgba = new Uint8ClampedArray(core.HEAPU8.buffer, pixels, width * height * 4);
            canvas.getContext('2d').putImageData(new ImageData(rgba, width, height), x, y);
        }
    }

    // A lesson draws its parts where it draws them: another one lays them out again.
    let laidOut = '';
    function drawParts() {
        const rects = JSON.stringify(partPages.map((page, i) => partRect(i)));
        if (rects !== laidOut)
            layoutParts();
        for (const i of shownParts)
            drawPart(i);
    }

    // On its side, the tab of the page in view.
    function showTab() {
        const at = Math.round(handPages.scrollLeft / Math.max(1, handPages.clientWidth));
        const shown = [handPages.querySelector('#handPanel'), ...partPages].filter((page) => !page.hidden);
        tabs.forEach((tab) => tab.setAttribute('aria-selected', String(shown[at] === pageOfTab(tab))));
    }

    function pageOfTab(tab) {
        const i = Number(tab.dataset.page);
        return i === 0 ? $('handPanel') : partPages[i - 1];
    }

    // A pinch on a part zooms it about the fingers' middle, up to four times;
    // a double tap brings it back to its fitted size.
    function wirePinch(page, i) {
        const canvas = page.querySelector('canvas');
        let pinch = null;
        let lastTap = 0;
        const spread = (touches) => Math.hypot(touches[0].clientX - touches[1].clientX,
                                               touches[0].clientY - touches[1].clientY);
        const zoom = (z, originX = 0, originY = 0) => {
            zooms[i] = z;
            canvas.style.transformOrigin = `${originX}px ${originY}px`;
            canvas.style.transform = z === 1 ? '' : `scale(${z})`;
        };
        page.addEventListener('touchstart', (event) => {
            if (event.touches.length !== 2)
                return;
            const box = canvas.getBoundingClientRect();
            const middle = (axis) => (event.touches[0][axis] + event.touches[1][axis]) / 2;
            pinch = { spread: spread(event.touches), zoom: zooms[i],
                      x: (middle('clientX') - box.left) / zooms[i], y: (middle('clientY') - box.top) / zooms[i] };
            lastTap = 0;
        }, { passive: true });
        page.addEventListener('touchmove', (event) => {
            if (!pinch || event.touches.length !== 2)
                return;
            event.preventDefault();
            const z = Math.min(largestZoom, Math.max(1, (pinch.zoom * spread(event.touches)) / pinch.spread));
            zoom(z, pinch.x, pinch.y);
        }, { passive: false });
        page.addEventListener('touchend', (event) => {
            if (pinch) {
                if (event.touches.length < 2)
                    pinch = null;
                return;
            }
            if (event.touches.length > 0 || event.changedTouches.length !== 1)
                return;
            const now = performance.now();
            if (now - lastTap < doubleTapMs) {
                zoom(1);
                lastTap = 0;
            } else {
                lastTap = now;
            }
        });
    }

    function wireHand() {
        partPages.forEach(wirePinch);
        const seen = new IntersectionObserver((entries) => {
            for (const entry of entries) {
                const i = partPages.indexOf(entry.target);
                if (entry.isIntersecting) {
                    shownParts.add(i);
                    if (inHand() && partScales[i])
                        drawPart(i);
                } else {
                    shownParts.delete(i);
                }
            }
        });
        partPages.forEach((page) => seen.observe(page));
        for (const tab of tabs) {
            tab.addEventListener('click', () => {
                handPages.scrollTo({ left: pageOfTab(tab).offsetLeft - handPages.offsetLeft, behavior: 'smooth' });
            });
        }
        handPages.addEventListener('scroll', showTab, { passive: true });
        $('handActions').addEventListener('click', () => {
            const box = $('handActions').getBoundingClientRect();
            openMenu(box.left, box.top);
        });
        matchMedia('(pointer: coarse)').addEventListener('change', fit);
    }

    function wireScreen() {
        const button = $('fullscreen');
        button.hidden = !document.fullscreenEnabled;
        button.addEventListener('click', () => {
            if (document.fullscreenElement)
                document.exitFullscreen();
            else
                document.documentElement.requestFullscreen();
        });
        document.addEventListener('fullscreenchange', () => {
            button.textContent = document.fullscreenElement ? tr('Fenêtre') : tr('Plein écran');
            fit();
        });
        // F11 is the browser's own full screen: the window grows, the form with it;
        // a phone turned lays its parts out again.
        window.addEventListener('resize', fit);
        screen.orientation?.addEventListener('change', fit);
        wireHand();
        fit();
    }

    // ---- The classroom actions ---------------------------------------------------

    function localDate() {
        const d = new Date();
        const two = (n) => String(n).padStart(2, '0');
        return `${d.getFullYear()}-${two(d.getMonth() + 1)}-${two(d.getDate())}`;
    }

    function download(blob, name) {
        const link = document.createElement('a');
        link.href = URL.createObjectURL(blob);
        link.download = name;
        link.click();
        setTimeout(() => URL.revokeObjectURL(link.href), downloadLifetimeMs);
    }

    function csv() {
        return core.UTF8ToString(core._lodrix_csv());
    }

    function exportRun() {
        const name = `lodrix-${core.UTF8ToString(core._lodrix_lesson_slug())}-${localDate()}.csv`;
        download(new Blob([csv()], { type: 'text/csv' }), name);
    }

    // The window's drawing with the scene over it, as the form shows them at
    // 1x; the HTML controls are no part of it.
    function windowPicture() {
        const picture = document.createElement('canvas');
        picture.width = formWidth;
        picture.height = formHeight;
        const context = picture.getContext('2d');
        context.drawImage(canvases[WINDOW], 0, 0);
        context.drawImage(canvases[SCENE], sceneLeft, sceneTop);
        return picture;
    }

    function pictureName() {
        return `lodrix-${core.UTF8ToString(core._lodrix_lesson_slug())}-${core._lodrix_last_tick()}.png`;
    }

    function png(canvas) {
        return new Promise((resolve) => canvas.toBlob(resolve, 'image/png'));
    }

    async function savePicture() {
        const name = pictureName(); // the picture as it was at the key press
        download(await png(windowPicture()), name);
    }

    // The Clipboard API may be missing or refused (no permission, the page
    // not focused): then the same picture can still be saved.
    async function copyPicture() {
        const name = pictureName();
        const picture = png(windowPicture());
        try {
            if (!navigator.clipboard?.write || typeof ClipboardItem === 'undefined')
                throw new Error(tr("ce navigateur n'y donne pas accès"));
            await navigator.clipboard.write([new ClipboardItem({ 'image/png': picture })]);
        } catch (error) {
            report(tr("Le navigateur refuse de copier l'image dans le presse-papiers : %1", error.message),
                   { text: tr("Enregistrer l'image"), act: async () => download(await picture, name) });
        }
    }

    // ---- Links that open an experiment --------------------------------------------

    // The page's own address with the query of what it shows.
    function link() {
        const query = core.UTF8ToString(core._lodrix_link_query());
        return location.href.replace(/[?#].*$/, '') + '?' + query;
    }

    // A link (the page's query at load) applied by the core, the lists, the
    // scroll bar and the settings then showing what it chose. Refused, it
    // says why and nothing changes.
    function openLink(query) {
        const before = core.UTF8ToString(core._lodrix_language());
        const refused = core.ccall('lodrix_open_link', 'string', ['string'], [query]);
        if (refused) {
            report(refused);
            return false;
        }
        applyRequests();
        present();
        if (core.UTF8ToString(core._lodrix_language()) !== before)
            translatePage();
        $('ListBox1').selectedIndex = core._lodrix_menu_row();
        $('ListBox2').selectedIndex = core._lodrix_mode_row();
        showWholeRows($('ListBox1'));
        $('ScrollBar1').value = String(core._lodrix_scroll_position());
        setScroll(core._lodrix_scroll_position());
        showFreeSettings();
        described = '';
        showHeld();
        return true;
    }

    // ---- A teacher's own commentary -----------------------------------------------

    // Read in the browser by the core's RTF reader, nothing sent anywhere, and
    // shown for its lesson until the page is reloaded: its HTML by the
    // commentary's name without its language, lodrix2 for lesson 3.
    const largestCommentaryBytes = 4 * 1024 * 1024;
    const teacherCommentaries = new Map();
    const commentaryElements = new Set(['DIV', 'P', 'SPAN', 'BR', 'TABLE', 'TBODY', 'TR', 'TD']);
    const commentaryAttributes = new Set(['class', 'style', 'align', 'border', 'cellspacing', 'cellpadding']);

    // The core's HTML, parsed inert; only the elements and attributes its
    // writer makes are kept, whatever it held.
    function commentaryFragment(html) {
        const template = document.createElement('template');
        template.innerHTML = html;
        for (const element of [...template.content.querySelectorAll('*')]) {
            if (!commentaryElements.has(element.tagName)) {
                element.remove();
                continue;
            }
            for (const attribute of [...element.attributes]) {
                if (!commentaryAttributes.has(attribute.name))
                    element.removeAttribute(attribute.name);
            }
        }
        return template.content;
    }

    function openCommentary(file) {
        const refuse = (why) => report(`${tr("Impossible d'ouvrir le commentaire « %1 ».", file.name)} ${why}`);
        const row = core._lodrix_menu_row();
        if (row < 2)
            return report(tr('Un commentaire accompagne une leçon en boucle fermée : choisissez-la, puis ouvrez-le.'));
        if (file.size > largestCommentaryBytes)
            return refuse(tr('Fichier trop volumineux pour un commentaire.'));
        const reader = new FileReader();
        reader.onerror = () => refuse(String(reader.error?.message ?? ''));
        reader.onload = () => {
            const bytes = new Uint8Array(reader.result);
            const address = core._lodrix_commentary_buffer(bytes.length);
            if (!address)
                return refuse(tr('Fichier trop volumineux pour un commentaire.'));
            core.HEAPU8.set(bytes, address);
            const refused = core.UTF8ToString(core._lodrix_read_commentary());
            if (refused)
                return refuse(refused);
            teacherCommentaries.set(`lodrix${row - 1}`, core.UTF8ToString(core._lodrix_commentary_html()));
            if (!$('RichEdit2').hidden)
                call('close_commentary'); // « Commentaires » would close it
            call('b1_click'); // the box shows it at once
        };
        reader.readAsArrayBuffer(file);
    }

    function chooseCommentary() {
        $('CommentaryFile').value = '';
        $('CommentaryFile').click();
    }

    function wireCommentary() {
        const input = $('CommentaryFile');
        input.addEventListener('change', () => {
            if (input.files.length > 0)
                openCommentary(input.files[0]);
        });
        // A file dropped anywhere on the page; the browser must not open it instead.
        window.addEventListener('dragover', (event) => {
            if (event.dataTransfer?.types.includes('Files'))
                event.preventDefault();
        });
        window.addEventListener('drop', (event) => {
            if (!event.dataTransfer?.files.length)
                return;
            event.preventDefault();
            openCommentary(event.dataTransfer.files[0]);
        });
    }

    // The plain text the commentary box shows, empty when it is hidden.
    function commentaryText() {
        const box = $('RichEdit2');
        return box.hidden ? '' : box.innerText;
    }

    async function copyLink() {
        const address = link();
        try {
            if (!navigator.clipboard?.writeText)
                throw new Error(tr("ce navigateur n'y donne pas accès"));
            await navigator.clipboard.writeText(address);
            tell(tr('Lien copié dans le presse-papiers.'));
        } catch (error) {
            report(tr('Le navigateur refuse de copier le lien dans le presse-papiers (%1). Le voici : %2',
                      error.message, address));
        }
    }

    // A short message of what an action did, read by screen readers (a
    // polite live region), gone by itself after a few seconds.
    const noticeMs = 4000;
    let noticeTimeout = 0;
    function tell(text) {
        const notice = $('notice');
        notice.textContent = text;
        clearTimeout(noticeTimeout);
        noticeTimeout = setTimeout(() => { notice.textContent = ''; }, noticeMs);
    }

    const actions = {
        link: copyLink,
        commentary: chooseCommentary,
        pause: () => call('toggle_pause'),
        step: () => call('step_frame'),
        keep: () => {
            const said = core.UTF8ToString(core._lodrix_keep_run());
            applyRequests();
            present();
            showHeld();
            tell(said);
        },
        clearKept: () => call('clear_kept'),
        export: exportRun,
        save: savePicture,
        copy: copyPicture,
        about: showAbout,
    };

    // Whether the focus is a field that takes typed text.
    function typingIn(element) {
        if (!(element instanceof HTMLElement))
            return false;
        if (element.isContentEditable || element.tagName === 'TEXTAREA')
            return true;
        return element.tagName === 'INPUT'
               && !['button', 'checkbox', 'radio', 'range', 'file', 'submit', 'reset'].includes(element.type);
    }

    // The action of a key, bound as on the desktop: P, Pause, N and K alone,
    // K with Shift; E, S and C with Ctrl (or a Mac's Command).
    function actionOfKey(event) {
        const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
        const control = event.ctrlKey || event.metaKey;
        if (event.altKey)
            return null;
        if (event.shiftKey)
            return !control && key === 'k' ? 'clearKept' : null;
        if (control)
            return { e: 'export', s: 'save', c: 'copy' }[key] ?? null;
        return { p: 'pause', Pause: 'pause', n: 'step', k: 'keep' }[key] ?? null;
    }

    // Before the focused control sees the key: a list would otherwise take P
    // as the first letter of « Présentation », and the browser Ctrl+S.
    function onKey(event) {
        if (!core || !$('menu').hidden || !$('about').hidden || !$('message').hidden)
            return;
        // The keyboard's menu key and Shift+F10 open the actions' menu by the focused control.
        if (event.key === 'ContextMenu' || (event.shiftKey && event.key === 'F10')) {
            event.preventDefault();
            const box = (document.activeElement ?? form).getBoundingClientRect();
            openMenu(box.left, box.bottom);
            return;
        }
        if (event.key === 'Escape' && !$('RichEdit2').hidden) {
            event.preventDefault();
            call('close_commentary');
            return;
        }
        const action = actionOfKey(event);
        if (!action)
            return;
        // A letter typed in a text field is the field's; anywhere else it is the page's key.
        if (!event.ctrlKey && !event.metaKey && typingIn(event.target))
            return;
        // Selected text (in a commentary) is the browser's to copy.
        if (action === 'copy' && !document.getSelection().isCollapsed)
            return;
        event.preventDefault();
        event.stopPropagation();
        actions[action]();
    }

    // ---- The right-click menu and the about box ------------------------------------

    const menu = $('menu');
    const menuItems = [...menu.querySelectorAll('[role="menuitem"]')];
    let focusBeforeMenu = null;

    // Where a point of the browser's window lies on the form, whatever its scale.
    function onForm(clientX, clientY) {
        const box = form.getBoundingClientRect();
        const scale = box.width / formWidth;
        return [(clientX - box.left) / scale, (clientY - box.top) / scale];
    }

    function openMenu(clientX, clientY) {
        focusBeforeMenu = document.activeElement;
        menu.hidden = false;
        if (inHand()) { // at the foot of the screen
            menuItems.find((item) => !item.hidden).focus();
            return;
        }
        const [x, y] = onForm(clientX, clientY);
        menu.style.left = `${Math.max(0, Math.min(x, formWidth - menu.offsetWidth))}px`;
        menu.style.top = `${Math.max(0, Math.min(y, formHeight - menu.offsetHeight))}px`;
        menuItems[0].focus();
    }

    function closeMenu() {
        if (menu.hidden)
            return;
        menu.hidden = true;
        if (focusBeforeMenu instanceof HTMLElement && focusBeforeMenu.isConnected)
            focusBeforeMenu.focus();
    }

    function onMenuKey(event) {
        const shown = menuItems.filter((item) => !item.hidden);
        const at = shown.indexOf(document.activeElement);
        const moves = { ArrowDown: at + 1, ArrowUp: at - 1, Home: 0, End: shown.length - 1 };
        if (event.key in moves) {
            const to = (moves[event.key] + shown.length) % shown.length;
            shown[to].focus();
        } else if (event.key === 'Escape' || event.key === 'Tab') {
            closeMenu();
        } else {
            return;
        }
        event.preventDefault();
        event.stopPropagation();
    }

    function showAbout() {
        const about = $('about');
        focusBeforeMenu = document.activeElement;
        // Modal: nothing else of the form takes a click or the focus meanwhile.
        for (const element of form.children)
            element.inert = element !== about;
        about.hidden = false;
        $('aboutOk').focus();
    }

    function closeAbout() {
        $('about').hidden = true;
        for (const element of form.children)
            element.inert = false;
        if (focusBeforeMenu instanceof HTMLElement && focusBeforeMenu.isConnected)
            focusBeforeMenu.focus();
    }

    function wireActions() {
        window.addEventListener('keydown', onKey, true);
        // The commentary and the number fields keep the browser's own menu (copy, paste).
        form.addEventListener('contextmenu', (event) => {
            if (event.target.closest('.richedit, input, #menu, #about, #message'))
                return;
            event.preventDefault();
            openMenu(event.clientX, event.clientY);
        });
        menu.addEventListener('keydown', onMenuKey);
        for (const item of menuItems) {
            item.addEventListener('click', () => {
                closeMenu();
                actions[item.dataset.action]();
            });
            item.addEventListener('pointermove', () => item.focus());
        }
        document.addEventListener('pointerdown', (event) => {
            if (!menu.contains(event.target))
                closeMenu();
        });
        window.addEventListener('blur', closeMenu);
        $('version').textContent = core.UTF8ToString(core._lodrix_version());
        const notice = document.createElement('pre');
        notice.textContent = $('fonts-licence')?.content.textContent.trim() ?? '';
        $('fontNotice').replaceChildren(notice);
        $('aboutOk').addEventListener('click', closeAbout);
        $('about').addEventListener('keydown', (event) => {
            if (event.key === 'Escape') {
                event.preventDefault();
                closeAbout();
            }
        });
    }

    /*@hook@*/

    // ---- Start-up -----------------------------------------------------------------

    // The browser's first language: French for fr*, English otherwise. A
    // link's lang= (?lang=en in the page's address) then says otherwise.
    function chosenLanguage() {
        const browser = (navigator.languages?.[0] ?? navigator.language ?? '').toLowerCase();
        return browser.startsWith('fr') ? 'fr' : 'en';
    }

    createLodrixCore().then((module) => {
        core = module;
        core.ccall('lodrix_init', null, ['string'], [chosenLanguage()]);
        translatePage();
        wireScreen();
        for (const surface of [WINDOW, SCENE])
            copyBox(core._lodrix_whole(surface), surface);
        wireControls();
        wireViewArea();
        wireActions();
        showHeld();
        wireCommentary();
        window.lodrix = { run, state, picture, csv, link, commentaryText, parts,
                          get timerRuns() { return timerRuns; } };
        if (location.search.length > 1)
            openLink(location.search);
        startTimer();
    }, (error) => {
        form.style.visibility = 'visible';
        report(tr('Ce navigateur ne peut pas faire tourner Lodrix : %1', error));
    });
})();
