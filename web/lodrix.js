// The page's side of the browser edition, over the core (web/webcore.cpp
// compiled to WebAssembly, loaded as createLodrixCore). A click, a key or a
// timer tick becomes one core call; then the page applies what the controller
// asked of the controls and copies the painted pixels to the two canvases.
// Nothing a lesson depends on is decided here.
//
// For tests and tools, window.lodrix.run(text) plays lodrix-replay's commands
// and window.lodrix.picture('window' | 'scene') gives a canvas as a PNG data URL.
'use strict';

(function () {
    const WINDOW = 0; // the core's surfaces
    const SCENE = 1;
    const formWidth = 800; // the design client area, in form pixels
    const formHeight = 560;
    const firstIntervalMs = 50; // the timer's interval before its first tick
    const catchUpIntervals = 3; // how far behind the timer still keeps its beat

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
        }
    }

    // One controller call, then what it changed on the page.
    function call(name, ...args) {
        core['_lodrix_' + name](...args);
        applyRequests();
        present();
    }

    // ---- The controls ----------------------------------------------------------

    function createCommentaryButton() {
        if ($('B1'))
            return;
        const button = document.createElement('button');
        button.id = 'B1';
        button.type = 'button';
        button.textContent = 'Commentaires';
        button.setAttribute('aria-description', 'Affiche le commentaire de la leçon terminée.');
        button.disabled = true;
        button.hidden = true;
        button.addEventListener('click', () => call('b1_click'));
        $('RichEdit2').after(button); // next in the Tab order, as on the desktop
    }

    function showCommentary(name) {
        const box = $('RichEdit2');
        box.hidden = false;
        const commentary = $('commentary-' + name);
        if (!commentary) {
            report(`Impossible d'ouvrir le commentaire « ${name} ».`);
            return;
        }
        box.replaceChildren(commentary.content.cloneNode(true));
        box.scrollTop = 0;
    }

    function report(text) {
        const box = $('message');
        const ok = document.createElement('button');
        ok.type = 'button';
        ok.textContent = 'OK';
        ok.addEventListener('click', () => { box.hidden = true; });
        const words = document.createElement('p');
        words.textContent = text;
        box.replaceChildren(words, ok);
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
        });
        list.addEventListener('click', (event) => {
            if (!pressChanged && event.target instanceof HTMLOptionElement && event.target.selected)
                call(handler, event.target.index);
            pressed = pressChanged = false;
        });
    }

    function setScroll(ms) {
        const bar = $('ScrollBar1');
        bar.setAttribute('aria-valuetext', `une image toutes les ${ms} ms`);
        core._lodrix_set_scroll_position(ms);
    }

    function wireControls() {
        wireList($('ListBox1'), 'choix');
        wireList($('ListBox2'), 'choixbis');
        $('Button1').addEventListener('click', () => call('button1_click'));
        $('Button2').addEventListener('click', () => call('button2_click'));
        $('ScrollBar1').addEventListener('input', (event) => setScroll(Number(event.target.value)));
    }

    // ---- The timer -------------------------------------------------------------

    function tick() {
        interval = core._lodrix_timer1_timer();
        applyRequests();
        if (present() && !idlePictureShown) {
            idlePictureShown = true;
            performance.mark('lodrix-first-picture');
        }
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

    // The largest scale that shows the whole form, centred. Canvas pixels
    // become blocks of whole screen pixels (pixelated), the same size for
    // all when rounding the scale down costs a tenth of the room or less.
    // Only on a screen with fewer pixels than the form are the canvases
    // reduced smoothly: dropping rows would cut the one-pixel lines.
    function fit() {
        const ratio = window.devicePixelRatio || 1;
        const width = document.documentElement.clientWidth;
        const height = document.documentElement.clientHeight;
        let screenPixels = Math.min(width / formWidth, height / formHeight) * ratio;
        if (screenPixels >= 1 && Math.floor(screenPixels) / screenPixels >= 0.9)
            screenPixels = Math.floor(screenPixels);
        form.classList.toggle('reduced', screenPixels < 1);
        const scale = screenPixels / ratio;
        const left = Math.round(((width - formWidth * scale) / 2) * ratio) / ratio;
        const top = Math.round(((height - formHeight * scale) / 2) * ratio) / ratio;
        form.style.transform = `translate(${left}px, ${top}px) scale(${scale})`;
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
            button.textContent = document.fullscreenElement ? 'Fenêtre' : 'Plein écran';
            fit();
        });
        // F11 is the browser's own full screen: the window grows, the form with it.
        window.addEventListener('resize', fit);
        fit();
    }

    // ---- The automation hook ----------------------------------------------------

    // Rows as the lists hold them; the interval as the scroll bar allows it.
    const speedBar = $('ScrollBar1');
    const commandArguments = {
        menu: [0, $('ListBox1').options.length - 1],
        mode: [0, $('ListBox2').options.length - 1],
        scroll: [Number(speedBar.min), Number(speedBar.max)],
        tick: 'count',
        start: 'none',
        next: 'none',
        comment: 'none',
        state: 'none',
    };

    // One command a line; the whole text is checked before any of it runs.
    function parseCommands(text) {
        const commands = [];
        String(text).split('\n').forEach((line, index) => {
            const words = line.trim().split(/\s+/).filter((w) => w !== '');
            if (words.length === 0)
                return;
            const [name, argument, ...extra] = words;
            const fail = (why) => {
                throw new Error(`lodrix.run: ${why}, line ${index + 1}: '${line.trim()}'`);
            };
            if (!Object.hasOwn(commandArguments, name))
                fail(`unknown command '${name}'`);
            const expected = commandArguments[name];
            if (extra.length > 0 || (expected === 'none' && argument !== undefined))
                fail(`too many arguments for '${name}'`);
            if (expected === 'none') {
                commands.push({ name });
            } else if (expected === 'count') {
                if (argument !== undefined && !/^\d+$/.test(argument))
                    fail(`bad argument '${argument}' for 'tick'`);
                commands.push({ name, number: argument === undefined ? 1 : Number(argument) });
            } else {
                const [low, high] = expected;
                if (argument === undefined)
                    fail(`command '${name}' needs an argument`);
                if (!/^-?\d+$/.test(argument) || Number(argument) < low || Number(argument) > high)
                    fail(`bad argument '${argument}' for '${name}' (expected ${low} to ${high})`);
                commands.push({ name, number: Number(argument) });
            }
        });
        return commands;
    }

    // A person can click only what is shown and enabled.
    function clickable(name) {
        const control = $(name);
        if (!control)
            throw new Error(`lodrix.run: ${name} does not exist yet`);
        if (control.hidden || control.disabled)
            throw new Error(`lodrix.run: ${name} is ${control.hidden ? 'hidden' : 'disabled'} `
                            + 'and cannot be clicked');
        return control;
    }

    function choose(name, handler, row) {
        clickable(name).selectedIndex = row;
        call(handler, row);
    }

    // Runs the commands, the ticks drawn as the timer draws them, and returns
    // the state lines. From the first call on, ticks come from the commands
    // only, as in lodrix-replay: the page's timer stays stopped.
    function run(text) {
        const commands = parseCommands(text);
        stopTimer();
        const states = [];
        for (const c of commands) {
            if (c.name === 'menu') {
                choose('ListBox1', 'choix', c.number);
            } else if (c.name === 'mode') {
                choose('ListBox2', 'choixbis', c.number);
            } else if (c.name === 'start') {
                clickable('Button1').click();
            } else if (c.name === 'next') {
                clickable('Button2').click();
            } else if (c.name === 'comment') {
                clickable('B1').click();
            } else if (c.name === 'scroll') {
                clickable('ScrollBar1').value = String(c.number);
                setScroll(c.number);
            } else if (c.name === 'tick') {
                for (let i = 0; i < c.number; ++i)
                    tick();
            } else if (c.name === 'state') {
                states.push(state());
            }
        }
        return states.join('\n');
    }

    // The name a screen reader announces: the label given, else the text shown.
    function accessibleName(element) {
        return element.getAttribute('aria-label') ?? element.textContent.trim();
    }

    // The core's state line, each control with its accessible name.
    function state() {
        const names = {};
        for (const element of form.querySelectorAll('[id]'))
            names[element.id] = accessibleName(element);
        return core.ccall('lodrix_state', 'string', ['string'], [JSON.stringify(names)]);
    }

    function picture(which) {
        const canvas = { window: canvases[WINDOW], scene: canvases[SCENE] }[which];
        if (!canvas)
            throw new Error(`lodrix.picture: no canvas '${which}' (window or scene)`);
        return canvas.toDataURL('image/png');
    }

    // ---- Start-up -----------------------------------------------------------------

    function decimalSeparator() {
        const parts = new Intl.NumberFormat(navigator.language).formatToParts(1.5);
        const decimal = parts.find((part) => part.type === 'decimal');
        return decimal ? decimal.value : '.';
    }

    wireScreen();
    createLodrixCore().then((module) => {
        core = module;
        core._lodrix_init(decimalSeparator().codePointAt(0));
        for (const surface of [WINDOW, SCENE])
            copyBox(core._lodrix_whole(surface), surface);
        wireControls();
        window.lodrix = { run, picture, get timerRuns() { return timerRuns; } };
        startTimer();
    }, (error) => {
        report(`Ce navigateur ne peut pas faire tourner Lodrix : ${error}`);
    });
})();
