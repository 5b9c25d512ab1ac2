#!/usr/bin/python3
# The contact window as a screen reader meets it on the accessibility bus: each focusable control named
# (not by its object name), roles, formats; Tab, Enter on a row, F10 and Alt moving a named focus;
# the duplicates dialog reached from the menu by keys alone.
import os, re, subprocess, sys, time
import pyatspi
from gi.repository import GLib
OBJECT_NAME = re.compile(r'^((txt|lbl|btn|cmbo|lstv|tlbar|mnu|pnl|gbx)[A-Z]|(Label|TabSheet|PageControl|MainMenu)\d)')
FOCUS, SHOWN, PHONE = 'object:state-changed:focused', 'object:state-changed:showing', '(999)999-9999'
EMAIL = 'Contact Email - example ( name@example.com )'
# Tab from the company field of a stored contact (Save still disabled) round the ring.
RING = [('text', n) for n in ('First Name', 'Last Name', 'Address', 'City, State, Zip Code', EMAIL,
                              'Contact Web Site Address - example ( https://www.example.com )')] + \
       [('text', 'Phone Number', PHONE), ('text', 'Fax Number', PHONE), ('push button', 'Cancel'), ('push button', 'Delete'),
        ('page tab list', 'Notes'), ('text', 'Notes'), ('text', 'Company Name')]
# Into the menu bar and out again: F10 opens the first menu; a lone Alt highlights it (Qt's own
# way with this style); Escape steps back out to the field that had the focus.
MENU_KEYS = [('F10', 'menu item', 'Exit'), ('Escape', 'menu item', 'File'), ('Escape', 'text', 'Company Name'),
             ('alt', 'menu item', 'File'), ('Escape', 'text', 'Company Name')]
EXTRA = [('name',), ('title',), ('phone number', PHONE), ('phone extension', 'five digits'), ('fax number', PHONE),
         ('e-mail address',), ('notes',)]
window = None
seen = []  # (event, role, name) taken as each event arrives, while its source still stands
def heard(e):
    try: seen.append((e.type, e.source.getRoleName(), e.source.name))
    except Exception as x: seen.append((e.type, 'gone', str(x)))
def shown_frame():
    # The program's window once the bus knows it: its own showing event may come before the bus
    # can answer for it, so the tree is asked each time events have been taken in.
    for a in pyatspi.Registry.getDesktop(0):
        try:
            if a and a.get_process_id() == program.pid:
                return a, next(w for w in a if w.name == 'Quorva Vellicard' and w.getState().contains(pyatspi.STATE_SHOWING))
        except Exception:
            pass
def wait_frame(seconds=60):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = shown_frame()
        if found:
            return found
        GLib.MainContext.default().iteration(False) or time.sleep(0.05)
    sys.exit(f'FAIL: the window did not come up on the accessibility bus within {seconds} s')
def frame_named(name, seconds=60):
    # A window of the program: the bus may list it a moment after its first focus event.
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            found = next((w for w in app if w and w.name == name), None)
            if found:
                return found
        except Exception:
            pass  # a window going or coming while it is asked
        GLib.MainContext.default().iteration(False) or time.sleep(0.05)
    sys.exit(f'FAIL: no window "{name}" on the accessibility bus within {seconds} s')
def focused(role, name):
    return any(o.getRoleName() == role and o.name.startswith(name) for o in pyatspi.findAllDescendants(
        window, lambda o: o.getState().contains(pyatspi.STATE_FOCUSED)))
def wait(what, role, name, seconds=60):
    start, log, asked = time.time(), [], 0
    while time.time() < start + seconds:
        while seen:
            log.append(seen.pop(0))
            if log[-1][0] == what and role in (None, log[-1][1]) and log[-1][2].startswith(name):
                return
        if not GLib.MainContext.default().iteration(False):
            # Qt's bridge now and then sends no focus event for a control shown a moment before
            # (seen under heavy load): after a few quiet seconds the tree's own state is asked.
            if what == FOCUS and window and time.time() > max(start + 5, asked + 1) and \
                    (asked := time.time()) and focused(role, name):
                print(f'note: no focus event for {role} "{name}"; the tree has it focused', file=sys.stderr)
                return
            time.sleep(0.005)
    now = [(o.getRoleName(), o.name) for o in pyatspi.findAllDescendants(window, lambda o: o.getState().contains(pyatspi.STATE_FOCUSED))] if window else []
    sys.exit(f'FAIL: no {what} {role} "{name}" within {seconds} s; heard {log}; focused now: {now}')
def key(k, *focus):
    seen.clear()
    subprocess.run(['xdotool', 'key', k], check=True)
    focus and wait(FOCUS, *focus[:2])
def check(root, want):
    have = [(o.getRoleName(), o.name, o.description) for o in pyatspi.findAllDescendants(root, lambda o: (
        lambda s: s.contains(pyatspi.STATE_SHOWING) and s.contains(pyatspi.STATE_FOCUSABLE))(o.getState()))]
    bad = [h for h in have if not h[1].strip() or OBJECT_NAME.match(h[1])] + \
          [w for w in want if not any(h[:len(w)] == w for h in have)]
    bad and sys.exit(f'FAIL: unnamed or missing: {bad}; on screen: {have}')
    return have

pyatspi.Registry.registerEventListener(heard, FOCUS, SHOWN)
program = subprocess.Popen([sys.argv[1]], env=dict(os.environ, QT_QPA_PLATFORM='xcb', QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1'))
try:
    app, window = wait_frame()
    # No window manager here: the window gets the keyboard as a desktop would give it.
    subprocess.run(['xdotool', 'search', '--sync', '--name', '^Quorva Vellicard$', 'windowfocus', '--sync'], check=True)
    wait(FOCUS, 'tree', 'Contact list')
    any(w.name == 'Find Duplicates' and w.getState().contains(pyatspi.STATE_SHOWING) for w in app) and \
        sys.exit('FAIL: Escape left the duplicates dialog open')
    check(window, [('tree', 'Contact list', 'Select a contact; Enter opens the selected contact'),
                   ('push button', 'Add New Contact')])
    key('Tab', 'push button', 'Add New Contact')
    key('shift+Tab', 'tree', 'Contact list')
    # File > Find Duplicates...: every control named, Tab round the ones that can be used, Escape back.
    key('F10', 'menu item', 'Sync Settings')
    for item in ('Import Contacts', 'Export Contacts', 'Find Duplicates'):
        key('Down', 'menu item', item)
    key('Return', 'tree', 'Possible duplicates')
    dialog = frame_named('Find Duplicates')
    buttons = [o.name for o in pyatspi.findAllDescendants(dialog, lambda o: o.getRoleName() == 'push button')]
    buttons == ['Merge', 'Undo Merge', 'Not Duplicates', 'Close'] or sys.exit(f'FAIL: the buttons are {buttons}')
    check(dialog, [('tree', 'Possible duplicates'), ('table', 'Values to keep'), ('push button', 'Close')])
    for step in [('table', 'Values to keep'), ('push button', 'Close'), ('tree', 'Possible duplicates')]:
        key('Tab', *step)
    key('Escape')
    # Nothing here hands the keyboard back to the window when the dialog goes; a desktop does.
    subprocess.run(['xdotool', 'search', '--sync', '--name', '^Quorva Vellicard$', 'windowfocus', '--sync'], check=True)
    wait(FOCUS, 'tree', 'Contact list')
    any(w.name == 'Find Duplicates' and w.getState().contains(pyatspi.STATE_SHOWING) for w in app) and \
        sys.exit('FAIL: Escape left the duplicates dialog open')
    key('Down', 'table cell', 'Contact Company: Joes Bar and Grill; Address: 123 Joes Street;')
    key('Return', 'text', 'Company Name')
    check(window, [step for step in RING if step[0] == 'text'])
    for step in RING:
        key('Tab', *step)
    email = next(o for o in pyatspi.findAllDescendants(window, lambda o: o.name == EMAIL) if o.getRoleName() == 'text')
    check(window, []) and pyatspi.findDescendant(window, lambda o: o.name == 'Send e-mail to ' + email.queryText().getText(0, -1)) \
        or sys.exit('FAIL: the e-mail link does not name its address')
    tabs = pyatspi.findDescendant(window, lambda o: o.getRoleName() == 'page tab list')
    for n in range(1, 6):
        tabs[n].queryAction().doAction(0)
        check(window, [('text', f'Extra contact {n} {f[0]}') + f[1:] for f in EXTRA])
    tabs[0].queryAction().doAction(0)
    for step in MENU_KEYS:
        key(*step)
    subprocess.run(['xdotool', 'type', 'x'], check=True)
    for step in RING[:8] + [('push button', 'Save')]:
        key('Tab', *step)
    key('space')
    wait(SHOWN, 'alert', 'Saving')
    print('PASS')
finally:
    program.kill()
