// The page's automation hook, window.lodrix (web/lodrix.js hands it out once
// the core runs): lodrix-replay's commands played on the page's own controls,
// the canvases as PNG, the state line. cmake/webpage.py sets this text into
// lodrix.js at its /*@hook@*/ mark, inside the page's closure: the hook calls
// the page's functions ($, call, tick, state of the settings, actions) by name.

    // ---- The automation hook ----------------------------------------------------

    // Rows as the lists hold them; the interval as the scroll bar allows it.
    const speedBar = $('ScrollBar1');
    const commandArguments = {
        menu: [0, $('ListBox1').options.length - 1],
        mode: [0, $('ListBox2').options.length - 1],
        scroll: [Number(speedBar.min), Number(speedBar.max)],
        tick: 'count',
        start: 'none',
        keep: 'none',
        clear: 'none',
        redraw: 'none',
        next: 'none',
        comment: 'none',
        state: 'none',
        set: 'setting',
        key: 'key',
        lang: 'language',
        pick: 'pixel',
        view: 'view',
    };

    // The keys `key` presses: the classroom keys, by the names lodrix-replay
    // gives them (a letter in either case).
    const commandKeys = { P: 'pause', PAUSE: 'pause', N: 'step', K: 'keep', 'SHIFT+K': 'clearKept' };

    // "set NAME VALUE", checked by the core as lodrix-replay checks it.
    function parseSetting(name, text, fail) {
        const refused = core.ccall('lodrix_check_setting', 'string', ['string', 'string'], [name, text]);
        if (refused)
            fail(refused);
        return { name: 'set', setting: name, text };
    }

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
            const allowed = expected === 'none' ? 0 : expected === 'setting' || expected === 'view' || expected === 'pixel' ? 2 : 1;
            if (words.length - 1 > allowed)
                fail(`too many arguments for '${name}'`);
            if (words.length - 1 < (expected === 'view' ? 1 : allowed) && expected !== 'count')
                fail(`command '${name}' needs an argument`);
            if (expected === 'setting') {
                commands.push(parseSetting(argument, extra[0], fail));
            } else if (expected === 'view') {
                // "view NAME [large]", the names lodrix-replay takes.
                const view = core.ccall('lodrix_view_named', 'number', ['string'], [argument]);
                if (view < 0)
                    fail(`bad view '${argument}' for 'view' (expected locus, bode, nyquist, black or period)`);
                if (extra.length > 0 && extra[0] !== 'large' && extra[0] !== 'small')
                    fail(`bad argument '${extra[0]}' for 'view' (expected large)`);
                commands.push({ name, view, large: extra[0] === 'large' });
            } else if (expected === 'language') {
                if (argument !== 'fr' && argument !== 'en')
                    fail(`bad language '${argument}' for 'lang' (expected fr or en)`);
                commands.push({ name, language: argument });
            } else if (expected === 'key') {
                const action = commandKeys[argument.toUpperCase()];
                if (!action)
                    fail(`bad key sequence '${argument}' for 'key' (the page's keys: P, Pause, N)`);
                commands.push({ name, action });
            } else if (expected === 'pixel') {
                const [x, y] = [argument, extra[0]];
                if (!/^\d+$/.test(x) || !/^\d+$/.test(y) || Number(x) >= formWidth || Number(y) >= formHeight)
                    fail(`bad form pixel '${x} ${y}' for 'pick' (X 0 to ${formWidth - 1}, Y 0 to ${formHeight - 1})`);
                commands.push({ name, x: Number(x), y: Number(y) });
            } else if (expected === 'view') {
                if (argument !== 'locus' && argument !== 'period')
                    fail(`bad view '${argument}' for 'view' (expected locus or period)`);
                commands.push({ name, view: argument });
            } else if (expected === 'none') {
                commands.push({ name });
            } else if (expected === 'count') {
                if (argument !== undefined && !/^\d+$/.test(argument))
                    fail(`bad argument '${argument}' for 'tick'`);
                commands.push({ name, number: argument === undefined ? 1 : Number(argument) });
            } else {
                const [low, high] = expected;
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
        showWholeRows($(name));
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
            } else if (c.name === 'set') {
                const refused = setSetting(c.setting, c.text);
                if (refused)
                    throw new Error(`lodrix.run: ${refused}`);
            } else if (c.name === 'keep') {
                actions.keep();
            } else if (c.name === 'clear') {
                actions.clearKept();
            } else if (c.name === 'redraw') {
                call('redraw');
            } else if (c.name === 'key') {
                actions[c.action]();
            } else if (c.name === 'view') {
                // As its chooser sets it, whichever entry is shown, as
                // lodrix-replay does; the chooser shows it.
                call('set_views', c.view, c.large ? 1 : 0);
                showFreeSettings();
                nameViewArea();
            } else if (c.name === 'lang') {
                setLanguage(c.language);
            } else if (c.name === 'pick') {
                pick(c.x, c.y);
            }
        }
        return states.join('\n');
    }

    // A click at form pixel (x, y), pressed and released on what lies there
    // as a person's would be: only the shown views box takes it.
    function pick(x, y) {
        const box = form.getBoundingClientRect();
        const scale = box.width / formWidth;
        const clientX = box.left + (x + 0.5) * scale;
        const clientY = box.top + (y + 0.5) * scale;
        const target = document.elementFromPoint(clientX, clientY);
        if (target !== viewArea)
            throw new Error(`lodrix.run: pick ${x} ${y} is on no view shown`);
        const init = { clientX, clientY, button: 0, buttons: 1, bubbles: true, pointerId: 1, isPrimary: true };
        target.dispatchEvent(new PointerEvent('pointerdown', init));
        target.dispatchEvent(new PointerEvent('pointerup', { ...init, buttons: 0 }));
    }

    // The name a screen reader announces: the label given, else the text
    // shown; a group of controls has none of its own.
    function accessibleName(element) {
        if (element.tagName === 'FIELDSET')
            return element.getAttribute('aria-label');
        return element.getAttribute('aria-label') ?? element.textContent.trim();
    }

    // The core's state line, each control with its accessible name.
    function state() {
        const names = {};
        for (const element of form.querySelectorAll('[id]')) {
            const name = accessibleName(element);
            if (name !== null)
                names[element.id] = name;
        }
        const box = form.getBoundingClientRect();
        const scale = box.width / formWidth;
        const rects = {};
        for (const id of ['FreeSettings', ...Object.keys(names)]) {
            const r = $(id)?.getBoundingClientRect();
            if (r && r.width > 0 && r.height > 0)
                rects[id] = [(r.left - box.left) / scale, (r.top - box.top) / scale, r.width / scale,
                             r.height / scale].map(Math.round);
        }
        return core.ccall('lodrix_state', 'string', ['string', 'string'],
                          [JSON.stringify(names), JSON.stringify(rects)]);
    }

    function picture(which) {
        const canvas = { window: canvases[WINDOW], scene: canvases[SCENE] }[which];
        if (!canvas)
            throw new Error(`lodrix.picture: no canvas '${which}' (window or scene)`);
        return canvas.toDataURL('image/png');
    }

    // In the hand, each part of the picture: its rectangle on the form, in
    // form pixels, the CSS pixels a form pixel takes on screen (its zoom
    // aside), and whether it is shown. Empty outside the hand.
    function parts() {
        if (!inHand())
            return [];
        return partPages.map((page, i) => ({
            rect: partRect(i),
            scale: page.hidden ? 0 : page.querySelector('canvas').getBoundingClientRect().width / zooms[i]
                                     / partRect(i)[2],
            shown: !page.hidden,
        }));
    }
