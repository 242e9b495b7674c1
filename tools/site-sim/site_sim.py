#!/usr/bin/env python3
"""A local stand-in for the listing site's agent portal and back office.

It serves, in GBK, the pages and answers the program relies on: the portal's login page, the
sign-in form, the back office's top page with the agent ID, the sale and rent listing pages
with their check boxes, and the listing refresh action. Knobs make it slow, silent, rude or
odd; every request it gets is recorded byte for byte so tests can check what was really sent.

Only the standard library is used. It listens on 127.0.0.1 only and prints "PORT <n>" once it
accepts connections. See README.md beside this file for the knobs and control endpoints.
"""

import argparse
import base64
import html
import json
import math
import os
import select
import secrets
import socket
import socketserver
import struct
import sys
import threading
import time
import traceback
from http import HTTPStatus
from urllib.parse import parse_qsl, unquote_to_bytes

CONTROL_PREFIX = '/__sim/'
RESPOND_PATH = '/__sim/respond'
SESSION_COOKIE = 'agent_session'
MAX_HEAD_BYTES = 64 * 1024
MAX_BODY_BYTES = 256 * 1024 * 1024
MAX_RECORDS = 100000
SILENT_HOLD_SECONDS = 300
STREAM_CHUNK = 64 * 1024

DEFAULT_KNOBS = {
    'agent_id': '4321',        # the ID the top page carries for a signed-in agent
    'top_page_body': '',       # when set, the whole body of the signed-in top page
    'page_size': '10',         # listings per listing page
    'listings_cs': '25',       # number of sale listings (IDs 10001, 10002, ...)
    'listings_cz': '25',       # number of rent listings (IDs 20001, 20002, ...)
    'ids_cs': '',              # comma-separated sale IDs; replaces listings_cs when set
    'ids_cz': '',              # comma-separated rent IDs; replaces listings_cz when set
    'user': '',                # accepted user name; empty accepts any non-empty one
    'password': '',            # accepted password; empty accepts any non-empty one
    'require_login': '1',      # 0 treats every request as signed in
    'check_agent': '0',        # 1 refuses refreshes whose agentid is not agent_id
    'refresh': 'success',      # default refresh answer (per house: refresh.<id>)
    'fault': '',               # close|reset|truncate|huge:N|utf8|invalid_gbk|silent|message:T
    'fault_path': '',          # path prefix fault and delay_ms apply to; empty = every path
    'fault_times': '0',        # how many requests the fault hits before it ends; 0 = no end
    'delay_ms': '0',           # wait before answering
    'extra_cookies': '0',      # number of additional Set-Cookie lines on every answer
    'record': '1',             # 0 stops recording (long benchmarks)
}

REFRESH_ANSWERS = ('success', 'login', 'silent', 'close', 'reset', 'truncate', 'utf8',
                   'invalid_gbk')


def to_int(text, default):
    try:
        return int(str(text).strip())
    except ValueError:
        return default


def latin1(data):
    return data.decode('latin-1')


def gbk(text):
    return text.encode('gbk', 'replace')


def utf8_from_latin1(text):
    """Query values are parsed as latin-1 so every byte survives; control values are UTF-8."""
    return text.encode('latin-1').decode('utf-8', 'replace')


def js_quoted(text):
    return text.replace('\\', '\\\\').replace("'", "\\'").replace('<', '\\x3c')


def html_page(title, body_html):
    return ('<!DOCTYPE html>\n<html>\n<head>\n'
            '<meta http-equiv="Content-Type" content="text/html; charset=gbk">\n'
            f'<title>{html.escape(title)}</title>\n</head>\n<body>\n{body_html}\n</body>\n</html>\n')


def alert_script(message):
    return f"<script type=\"text/javascript\">alert('{message}');</script>"


class Page:
    """One answer before it is encoded: status, extra header lines and text."""

    def __init__(self, text, status=200, headers=None, raw=None):
        self.text = text
        self.status = status
        self.headers = list(headers or [])
        self.raw = raw  # bytes sent as they are (generic responder)
        self.behaviour = 'success'  # how the refresh action bends this answer


class SimState:
    def __init__(self, sessions_file=None):
        self.lock = threading.Lock()
        self.knobs = dict(DEFAULT_KNOBS)
        self.records = []
        self.sessions_file = sessions_file
        self.sessions = self._load_sessions()
        self.answer_counts = {}
        self.fault_hits = 0
        # Bumped by reset so connections held open by "silent" let go.
        self.generation = 0

    def _load_sessions(self):
        if not self.sessions_file:
            return {}
        try:
            with open(self.sessions_file, encoding='utf-8') as f:
                loaded = json.load(f)
            return {str(k): str(v) for k, v in loaded.items()} if isinstance(loaded, dict) else {}
        except (OSError, ValueError):
            return {}

    def _save_sessions(self):
        """Keeps sessions across restarts (the demo), so a browser's saved cookie stays good."""
        if not self.sessions_file:
            return
        temporary = f'{self.sessions_file}.tmp'
        try:
            with open(temporary, 'w', encoding='utf-8') as f:
                json.dump(self.sessions, f)
            os.replace(temporary, self.sessions_file)
        except OSError as error:
            print(f'site_sim: cannot save sessions: {error}', file=sys.stderr)

    def knob(self, name):
        with self.lock:
            return self.knobs.get(name, DEFAULT_KNOBS.get(name, ''))

    def set_knob(self, name, value):
        if name not in DEFAULT_KNOBS and not name.startswith('refresh.'):
            return False
        with self.lock:
            self.knobs[name] = value
            if name in ('fault', 'fault_times', 'fault_path'):
                self.fault_hits = 0
            if name.startswith('refresh'):
                self.answer_counts = {k: v for k, v in self.answer_counts.items()
                                      if k[0] != name}
        return True

    def reset(self):
        with self.lock:
            self.knobs = dict(DEFAULT_KNOBS)
            self.records = []
            self.sessions = {}
            self._save_sessions()
            self.answer_counts = {}
            self.fault_hits = 0
            self.generation += 1

    def record(self, entry):
        with self.lock:
            if self.knobs.get('record', '1') == '0':
                return
            entry['index'] = len(self.records)
            self.records.append(entry)
            if len(self.records) > MAX_RECORDS:
                del self.records[0]

    def new_session(self, user):
        token = secrets.token_hex(16)
        with self.lock:
            self.sessions[token] = user
            self._save_sessions()
        return token

    def session_user(self, token):
        with self.lock:
            return self.sessions.get(token)

    def end_session(self, token):
        with self.lock:
            if self.sessions.pop(token, None) is not None:
                self._save_sessions()

    def end_all_sessions(self):
        with self.lock:
            self.sessions = {}
            self._save_sessions()

    def take_fault(self, path):
        """The fault for this request, counting it against fault_times."""
        with self.lock:
            fault = self.knobs.get('fault', '')
            if not fault or not path_in_scope(path, self.knobs.get('fault_path', '')):
                return ''
            limit = to_int(self.knobs.get('fault_times', '0'), 0)
            if limit > 0:
                if self.fault_hits >= limit:
                    return ''
                self.fault_hits += 1
            return fault

    def next_answer(self, knob_name, house_id, sequence):
        """Answers separated by '||' are given in turn; the last one then stays."""
        steps = sequence.split('||')
        with self.lock:
            key = (knob_name, house_id)
            n = self.answer_counts.get(key, 0)
            self.answer_counts[key] = n + 1
        return steps[min(n, len(steps) - 1)].strip()


def path_in_scope(path, prefix):
    return not prefix or path.lower().startswith(prefix.lower())


class Request:
    def __init__(self, method, target, version, headers, body, raw_head, connection_id):
        self.method = method
        self.target = target
        self.version = version
        self.headers = headers
        self.body = body
        self.raw_head = raw_head
        self.connection_id = connection_id
        path, _, query = target.partition('?')
        if path.lower().startswith('http://'):
            # Absolute form, as a client sends it to a proxy: route on the path part.
            path = '/' + path[len('http://'):].partition('/')[2]
        self.path = path
        self.query = query
        self.params = dict(parse_qsl(query, keep_blank_values=True, encoding='latin-1'))

    def header(self, name):
        for key, value in self.headers:
            if key.lower() == name.lower():
                return value
        return ''

    def cookies(self):
        jar = {}
        for key, value in self.headers:
            if key.lower() != 'cookie':
                continue
            for piece in value.split(';'):
                name, sep, data = piece.strip().partition('=')
                if sep and name not in jar:
                    jar[name] = data
        return jar

    def host(self, server_port):
        return self.header('Host') or f'127.0.0.1:{server_port}'

    def wants_keep_alive(self):
        connection = self.header('Connection').lower()
        if self.version == 'HTTP/1.0':
            return 'keep-alive' in connection
        return 'close' not in connection

    def as_record(self):
        return {
            'method': self.method,
            'target': self.target,
            'version': self.version,
            'headers': [[k, v] for k, v in self.headers],
            'body': latin1(self.body),
            'body_b64': base64.b64encode(self.body).decode('ascii'),
            'raw_head_b64': base64.b64encode(self.raw_head).decode('ascii'),
            'connection': self.connection_id,
            'time': time.time(),
        }


class BadRequest(Exception):
    pass


class ConnectionDone(Exception):
    """The connection is to end without (further) answer."""


def read_request(reader, sock, connection_id):
    raw = bytearray()
    line = reader.readline(MAX_HEAD_BYTES + 1)
    # Blank lines before a request line are allowed (and sent by some clients after a POST).
    while line in (b'\r\n', b'\n'):
        line = reader.readline(MAX_HEAD_BYTES + 1)
    if not line:
        return None
    raw += line
    while True:
        if len(raw) > MAX_HEAD_BYTES:
            raise BadRequest('request head too large')
        header_line = reader.readline(MAX_HEAD_BYTES + 1)
        if not header_line:
            raise ConnectionDone()
        raw += header_line
        if header_line in (b'\r\n', b'\n'):
            break
    lines = bytes(raw).split(b'\n')
    parts = lines[0].rstrip(b'\r').split(b' ')
    if len(parts) != 3 or not parts[2].startswith(b'HTTP/'):
        raise BadRequest('malformed request line')
    method, target, version = (latin1(p) for p in parts)
    headers = []
    for header_line in lines[1:]:
        header_line = header_line.rstrip(b'\r')
        if not header_line:
            continue
        name, sep, value = header_line.partition(b':')
        if not sep:
            raise BadRequest('malformed header line')
        headers.append((latin1(name.strip()), latin1(value.strip(b' \t'))))

    request = Request(method, target, version, headers, b'', bytes(raw), connection_id)
    if request.header('Expect').lower() == '100-continue':
        sock.sendall(b'HTTP/1.1 100 Continue\r\n\r\n')
    if 'chunked' in request.header('Transfer-Encoding').lower():
        request.body = read_chunked(reader)
    else:
        length_text = request.header('Content-Length')
        if length_text:
            length = to_int(length_text, -1)
            if length < 0 or length > MAX_BODY_BYTES:
                raise BadRequest('bad Content-Length')
            request.body = reader.read(length)
            if len(request.body) != length:
                raise ConnectionDone()
    return request


def read_chunked(reader):
    body = bytearray()
    while True:
        size_line = reader.readline(1024)
        if not size_line:
            raise ConnectionDone()
        size = to_int_hex(size_line.split(b';')[0].strip())
        if size < 0 or len(body) + size > MAX_BODY_BYTES:
            raise BadRequest('bad chunk size')
        if size == 0:
            while reader.readline(MAX_HEAD_BYTES) not in (b'\r\n', b'\n', b''):
                pass
            return bytes(body)
        body += reader.read(size)
        reader.readline(16)


def to_int_hex(text):
    try:
        return int(text, 16)
    except ValueError:
        return -1


class SiteHandler(socketserver.BaseRequestHandler):
    """One client connection; serves requests on it until it closes (keep-alive)."""

    connection_counter = 0
    counter_lock = threading.Lock()

    def setup(self):
        self.state = self.server.state
        self.sock = self.request
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.reader = self.sock.makefile('rb')
        with SiteHandler.counter_lock:
            SiteHandler.connection_counter += 1
            self.connection_id = SiteHandler.connection_counter

    def finish(self):
        try:
            self.reader.close()
        except OSError:
            pass

    def handle(self):
        while True:
            try:
                request = read_request(self.reader, self.sock, self.connection_id)
                if request is None:
                    return
                keep_alive = self.serve(request)
            except BadRequest as error:
                self.send_page(Page(f'bad request: {error}\n', 400), keep_alive=False)
                return
            except (ConnectionDone, ConnectionError, BrokenPipeError, TimeoutError):
                return
            except OSError:
                return
            except Exception:  # never let one request take the server down
                traceback.print_exc(file=sys.stderr)
                try:
                    self.send_page(Page('internal error\n', 500), keep_alive=False)
                except OSError:
                    pass
                return
            if not keep_alive:
                return

    # Routing ---------------------------------------------------------------------------------

    def serve(self, request):
        path = request.path.lower()
        if path.startswith(CONTROL_PREFIX) and path != RESPOND_PATH:
            return self.send_page(self.control(request), request.wants_keep_alive())

        self.state.record(request.as_record())
        in_scope = path_in_scope(request.path, self.state.knob('fault_path'))
        delay = to_int(self.state.knob('delay_ms'), 0)
        if delay > 0 and in_scope:
            time.sleep(delay / 1000.0)

        page = self.route(request, path)
        fault = self.state.take_fault(request.path)
        return self.deliver(page, fault or 'success', request)

    def route(self, request, path):
        if path == RESPOND_PATH:
            return self.generic_response(request)
        if path in ('/', '/default.aspx', '/index.aspx'):
            return self.portal_home(request)
        if path == '/login':
            return self.login(request)
        if path == '/logout':
            return self.logout(request)
        if path == '/magent/top.aspx':
            return self.top_page(request)
        if path == '/magent/house/houselist.aspx':
            return self.listing_page(request)
        if path == '/magent/house/houselistaction.aspx':
            return self.listing_action(request)
        return Page(html_page('找不到页面', '<p>您访问的页面不存在。</p>'), 404)

    def signed_in_user(self, request):
        if self.state.knob('require_login') == '0':
            return 'demo'
        token = request.cookies().get(SESSION_COOKIE)
        return self.state.session_user(token) if token else None

    # Site pages ------------------------------------------------------------------------------

    def portal_home(self, request, error=''):
        user = self.signed_in_user(request)
        notice = ''
        if user:
            notice = (f'<p>您已登录：{html.escape(user)} '
                      '<a href="/magent/top.aspx">进入经纪人后台</a> <a href="/logout">退出</a></p>\n')
        if error:
            notice += f'<p class="error">{html.escape(error)}</p>\n'
        form = ('<form id="loginform" name="loginform" method="post" action="/login">\n'
                '<p>用户名：<input type="text" name="username" id="username" size="20"></p>\n'
                '<input type="hidden" name="returnurl" value="/magent/top.aspx">\n'
                '<p>密　码：<input type="password" name="password" id="password" size="20"></p>\n'
                '<p><input type="submit" id="loginbutton" value="登录"></p>\n'
                '</form>')
        return Page(html_page('搜房帮登录', f'<h1>搜房帮 经纪人登录</h1>\n{notice}{form}'))

    def login(self, request):
        fields = dict(parse_qsl(latin1(request.body), keep_blank_values=True,
                                encoding='latin-1'))
        fields.update({k: v for k, v in request.params.items() if k not in fields})
        user = fields.get('username', '').encode('latin-1').decode('gbk', 'replace')
        password = fields.get('password', '').encode('latin-1').decode('gbk', 'replace')
        wanted_user = self.state.knob('user')
        wanted_password = self.state.knob('password')
        if (not user or not password or (wanted_user and user != wanted_user)
                or (wanted_password and password != wanted_password)):
            return self.portal_home(request, '用户名或密码错误，请重新输入。')
        token = self.state.new_session(user)
        target = f'http://{request.host(self.server.server_address[1])}/magent/top.aspx'
        return Page(html_page('登录成功', f'<p><a href="{target}">进入经纪人后台</a></p>'), 302,
                    [f'Location: {target}',
                     f'Set-Cookie: {SESSION_COOKIE}={token}; path=/; HttpOnly'])

    def logout(self, request):
        token = request.cookies().get(SESSION_COOKIE)
        if token:
            self.state.end_session(token)
        target = f'http://{request.host(self.server.server_address[1])}/'
        return Page(html_page('退出', f'<p><a href="{target}">重新登录</a></p>'), 302,
                    [f'Location: {target}',
                     f'Set-Cookie: {SESSION_COOKIE}=; path=/; HttpOnly; '
                     'expires=Thu, 01 Jan 1970 00:00:00 GMT; Max-Age=0'])

    def signed_out_page(self):
        return Page(html_page('经纪人后台', '<p>请先登录！<a href="/">返回登录页</a></p>'))

    def top_page(self, request):
        user = self.signed_in_user(request)
        if not user:
            return self.signed_out_page()
        custom = self.state.knob('top_page_body')
        if custom:
            return Page(custom)
        agent_id = self.state.knob('agent_id')
        script = ('<script type="text/javascript">\n'
                  f"var agentInfo = {{ AgentId: '{agent_id}', AgentName: '{js_quoted(user)}' }};\n"
                  '</script>')
        body = (f'{script}\n<h1>经纪人后台</h1>\n<p>欢迎您，{html.escape(user)}</p>\n<ul>\n'
                '<li><a href="/magent/house/houselist.aspx?businesstype=cs">出售房源管理</a></li>\n'
                '<li><a href="/magent/house/houselist.aspx?businesstype=cz">出租房源管理</a></li>\n'
                '<li><a href="/logout">退出</a></li>\n</ul>')
        return Page(html_page('经纪人后台', body))

    def listing_ids(self, kind):
        listed = self.state.knob(f'ids_{kind}')
        if listed:
            return [piece.strip() for piece in listed.split(',') if piece.strip()]
        count = max(0, to_int(self.state.knob(f'listings_{kind}'), 25))
        base = 10000 if kind == 'cs' else 20000
        return [str(base + n) for n in range(1, count + 1)]

    def listing_page(self, request):
        if not self.signed_in_user(request):
            return self.signed_out_page()
        kind = 'cz' if request.params.get('businesstype', 'cs').lower() == 'cz' else 'cs'
        label = '出租' if kind == 'cz' else '出售'
        ids = self.listing_ids(kind)
        size = to_int(self.state.knob('page_size'), 10)
        size = size if size > 0 else 10
        pages = max(1, math.ceil(len(ids) / size))
        page = min(max(1, to_int(request.params.get('page', '1'), 1)), pages)
        shown = ids[(page - 1) * size:page * size]
        rows = []
        for n, listing_id in enumerate(shown, start=(page - 1) * size + 1):
            rows.append(f'<tr><td><input type="checkbox" name="selectitem" value="{html.escape(listing_id)}"></td>'
                        f'<td>{html.escape(listing_id)}</td><td>示例花园{n}号楼 三室两厅 {label}</td></tr>')
        base = f'/magent/house/houselist.aspx?businesstype={kind}&page='
        pager = [f'共 {len(ids)} 条 第 {page}/{pages} 页']
        if page > 1:
            pager.append(f'<a id="prevpage" href="{base}{page - 1}">上一页</a>')
        if page < pages:
            pager.append(f'<a id="nextpage" href="{base}{page + 1}">下一页</a>')
        body = (f'<h1>{label}房源管理</h1>\n<form name="houselist" method="post" action="">\n'
                '<table id="houselist">\n<tr><th><input type="checkbox" name="chkall" '
                "onclick=\"for (const b of document.getElementsByName('selectitem')) b.checked = this.checked;\">"
                '全选</th><th>编号</th><th>房源</th></tr>\n' + '\n'.join(rows) +
                '\n</table>\n</form>\n<p class="pager">' + ' '.join(pager) + '</p>')
        return Page(html_page(f'{label}房源管理', body))

    def listing_action(self, request):
        params = request.params
        if not self.signed_in_user(request):
            return self.refresh_answer('login')
        if params.get('action', '').lower() != 'refhouse':
            return self.refresh_answer('message:操作无效')
        house_id = params.get('houseid', '')
        if not house_id:
            return self.refresh_answer('message:请选择要刷新的房源')
        if self.state.knob('check_agent') == '1' and params.get('agentid', '') != self.state.knob('agent_id'):
            return self.refresh_answer('message:经纪人信息有误')
        per_house = f'refresh.{house_id}'
        sequence = self.state.knob(per_house)
        knob_name = per_house
        if not sequence:
            knob_name, sequence = 'refresh', self.state.knob('refresh') or 'success'
        answer = self.state.next_answer(knob_name, house_id, sequence)
        return self.refresh_answer(answer)

    def refresh_answer(self, answer):
        if answer == 'login':
            return Page("<script type=\"text/javascript\">alert('请先登录！');"
                        "top.location.href='/';</script>")
        if answer.startswith('message:'):
            return Page(alert_script(answer[len('message:'):]))
        page = Page(alert_script('刷新成功！'))
        if answer in REFRESH_ANSWERS or answer.startswith('huge:'):
            page.behaviour = answer
        return page

    # Generic responder and control -----------------------------------------------------------

    def generic_response(self, request):
        status = to_int(request.params.get('status', '200'), 200)
        headers = []
        for key, value in parse_qsl(request.query, keep_blank_values=True, encoding='latin-1'):
            if key == 'header':
                headers.append(value)
        body = request.params.get('body', '').encode('latin-1')
        if 'body_b64' in request.params:
            body = base64.b64decode(request.params['body_b64'])
        return Page('', status if 100 <= status <= 999 else 200, headers, raw=body)

    def control(self, request):
        path = request.path.lower()[len(CONTROL_PREFIX):]
        params = {k: utf8_from_latin1(v) for k, v in request.params.items()}
        if path == 'knob':
            if not self.state.set_knob(params.get('name', ''), params.get('value', '')):
                return json_page({'error': f"unknown knob {params.get('name', '')}"}, 400)
            return json_page({'ok': True})
        if path == 'knobs':
            with self.state.lock:
                return json_page(dict(self.state.knobs))
        if path == 'reset':
            self.state.reset()
            return json_page({'ok': True})
        if path == 'requests':
            with self.state.lock:
                records = list(self.state.records)
                if params.get('clear') == '1':
                    self.state.records = []
            return json_page(records)
        if path == 'login':
            token = self.state.new_session(params.get('user') or 'demo')
            return json_page({'name': SESSION_COOKIE, 'value': token}, 200,
                             [f'Set-Cookie: {SESSION_COOKIE}={token}; path=/; HttpOnly'])
        if path == 'sign_out':
            self.state.end_all_sessions()
            return json_page({'ok': True})
        if path == 'ping':
            return json_page({'ok': True, 'pid': os.getpid()})
        return json_page({'error': 'unknown control endpoint'}, 404)

    # Answering -------------------------------------------------------------------------------

    def encode(self, page, utf8=False):
        if page.raw is not None:
            return page.raw, None
        if utf8:
            return page.text.encode('utf-8'), 'text/html; charset=utf-8'
        return gbk(page.text), 'text/html; charset=gbk'

    def head_bytes(self, page, content_type, length, keep_alive):
        reason = reason_phrase(page.status)
        lines = [f'HTTP/1.1 {page.status} {reason}']
        named = {line.partition(':')[0].strip().lower() for line in page.headers}
        if content_type and 'content-type' not in named:
            lines.append(f'Content-Type: {content_type}')
        lines.extend(page.headers)
        for n in range(1, to_int(self.state.knob('extra_cookies'), 0) + 1):
            lines.append(f'Set-Cookie: sim_extra{n}=value{n}; path=/')
        if 'content-length' not in named:
            lines.append(f'Content-Length: {length}')
        if not keep_alive:
            lines.append('Connection: close')
        return ('\r\n'.join(lines) + '\r\n\r\n').encode('latin-1', 'replace')

    def send_page(self, page, keep_alive):
        body, content_type = self.encode(page)
        self.sock.sendall(self.head_bytes(page, content_type, len(body), keep_alive) + body)
        return keep_alive

    def deliver(self, page, fault, request):
        """Answers the page, bent by a fault knob or a per-house refresh answer."""
        behaviour = fault if fault != 'success' else page.behaviour
        keep_alive = request.wants_keep_alive()
        if behaviour.startswith('message:'):
            page = Page(alert_script(behaviour[len('message:'):]))
            behaviour = 'success'
        if behaviour == 'close':
            self.sock.shutdown(socket.SHUT_RDWR)
            raise ConnectionDone()
        if behaviour == 'reset':
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))
            self.sock.close()
            raise ConnectionDone()
        if behaviour == 'silent':
            self.hold_silently()
            raise ConnectionDone()
        if behaviour == 'truncate':
            body, content_type = self.encode(page)
            # Promise more than is sent, then hang up.
            head = self.head_bytes(page, content_type, len(body) + 1000, False)
            self.sock.sendall(head + body)
            self.sock.shutdown(socket.SHUT_RDWR)
            raise ConnectionDone()
        if behaviour.startswith('huge:'):
            self.stream_huge(page, max(0, to_int(behaviour[len('huge:'):], 0)), keep_alive)
            return keep_alive
        if behaviour == 'utf8':
            body, content_type = self.encode(page, utf8=True)
        else:
            body, content_type = self.encode(page)
            if behaviour == 'invalid_gbk':
                # A stray lead byte right before the marker: a decoder that swallows the next
                # byte as a trail byte loses the "(" of "('".
                at = body.find(b"('")
                at = at if at >= 0 else 0
                body = body[:at] + b'\xff\x81' + body[at:]
        self.sock.sendall(self.head_bytes(page, content_type, len(body), keep_alive) + body)
        return keep_alive

    def stream_huge(self, page, size, keep_alive):
        """Sends exactly `size` bytes: blanks, then the page itself when it fits at the end."""
        body, content_type = self.encode(page)
        tail = body if len(body) <= size else b''
        self.sock.sendall(self.head_bytes(page, content_type, size, keep_alive))
        filler = b' ' * STREAM_CHUNK
        remaining = size - len(tail)
        while remaining > 0:
            chunk = filler if remaining >= STREAM_CHUNK else filler[:remaining]
            self.sock.sendall(chunk)
            remaining -= len(chunk)
        if tail:
            self.sock.sendall(tail)

    def hold_silently(self):
        """Keeps the connection open without answering until the client gives up."""
        generation = self.state.generation
        deadline = time.monotonic() + SILENT_HOLD_SECONDS
        while time.monotonic() < deadline and self.state.generation == generation:
            readable, _, _ = select.select([self.sock], [], [], 0.2)
            if readable and not self.sock.recv(65536):
                return


def reason_phrase(status):
    try:
        return HTTPStatus(status).phrase
    except ValueError:
        return 'Status'


def json_page(value, status=200, headers=None):
    page = Page('', status, ['Content-Type: application/json'] + list(headers or []),
                raw=json.dumps(value, ensure_ascii=True).encode('ascii'))
    return page


class SimServer(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, port, sessions_file=None):
        self.state = SimState(sessions_file)
        super().__init__(('127.0.0.1', port), SiteHandler)


def watch_stdin():
    """Ends the simulator when the process that started it goes away (its pipe closes)."""
    try:
        while sys.stdin.buffer.read(4096):
            pass
    except (OSError, ValueError):
        pass
    os._exit(0)


def main():
    parser = argparse.ArgumentParser(description='Local stand-in for the listing site.')
    parser.add_argument('--port', type=int, default=0, help='port on 127.0.0.1; 0 picks a free one')
    parser.add_argument('--watch-stdin', action='store_true',
                        help='exit when standard input reaches its end')
    parser.add_argument('--sessions', metavar='FILE',
                        help='keep signed-in sessions in this file across restarts')
    args = parser.parse_args()
    try:
        server = SimServer(args.port, args.sessions)
    except OSError as error:
        print(f'site_sim: cannot listen on 127.0.0.1:{args.port}: {error}', file=sys.stderr)
        sys.exit(1)
    if args.watch_stdin:
        threading.Thread(target=watch_stdin, daemon=True).start()
    print(f'PORT {server.server_address[1]}', flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == '__main__':
    main()
