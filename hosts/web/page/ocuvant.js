// Script client of `ocuvant serve`: the control's methods and properties by name,
// its events by name, over the page's own server (same origin, token cookie).
//
//   const control = new OcuvantControl();
//   await control.ready;                       // the event stream is open
//   control.on('MatchIrisEvent', (args) => console.log(args.MatchResult));
//   await control.invoke('InitIris');          // a method
//   const t = await control.invoke('MatchIrisTimeout');   // a property: read it
//   await control.invoke('MatchIrisTimeout', 10);          // a property: set it
//
// Events: every control event by its name with its arguments as an object (template
// areas as hexadecimal text), '*' for all of them, and the connection's own 'open',
// 'reconnecting' (the stream dropped; it comes back by itself and resumes where it
// left off), 'gap' (events were lost while away) and 'replaced' (a newer page took
// the stream over; this one stops).
export class OcuvantError extends Error {
  constructor(message, code) {
    super(message);
    this.name = 'OcuvantError';
    this.code = code;
  }
}

export class OcuvantControl {
  constructor({ base = '', viewer } = {}) {
    this.base = base;
    this.viewer = viewer || Math.random().toString(36).slice(2, 12);
    this.handlers = new Map();
    this.connected = false;
    this.ready = new Promise((resolve) => { this.resolveReady = resolve; });
    this.connect();
  }

  connect() {
    const source = new EventSource(`${this.base}/api/events?viewer=${encodeURIComponent(this.viewer)}`);
    this.source = source;
    source.onopen = () => {
      this.connected = true;
      this.emit('open', {});
      this.resolveReady(this);
    };
    source.onerror = () => {
      if (this.connected) {
        this.connected = false;
        this.emit('reconnecting', {});
      }
    };
    source.onmessage = (m) => {
      let event;
      try { event = JSON.parse(m.data); } catch { return; }
      this.emit(event.name, event.args, event);
      this.emit('*', event.args, event);
    };
    source.addEventListener('gap', (m) => this.emit('gap', JSON.parse(m.data)));
    source.addEventListener('replaced', () => {
      source.close();
      this.connected = false;
      this.emit('replaced', {});
    });
  }

  on(name, handler) {
    if (!this.handlers.has(name)) this.handlers.set(name, new Set());
    this.handlers.get(name).add(handler);
    return this;
  }

  off(name, handler) {
    this.handlers.get(name)?.delete(handler);
    return this;
  }

  emit(name, args, event) {
    for (const h of this.handlers.get(name) ?? []) {
      try { h(args, event); } catch (e) { console.warn('ocuvant handler', name, e); }
    }
  }

  // A method with its arguments, or a property (no argument: read; one: set). MatchIris
  // databases: null, an array of int32 or hexadecimal text.
  async invoke(name, ...args) {
    return (await this.post('/api/invoke', { name, args })).result;
  }

  // POST of a JSON body to one of the server's other routes; the answer's JSON.
  async post(path, body) {
    const r = await fetch(`${this.base}${path}`, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body),
      credentials: 'same-origin',
    });
    const answer = await r.json().catch(() => ({ error: `HTTP ${r.status}` }));
    if (!r.ok || 'error' in answer) throw new OcuvantError(answer.error ?? `HTTP ${r.status}`, answer.code);
    return answer;
  }

  async get(path) {
    const r = await fetch(`${this.base}${path}`, { credentials: 'same-origin' });
    if (!r.ok) throw new OcuvantError(`HTTP ${r.status}`);
    return r.json();
  }

  close() {
    this.source?.close();
    this.connected = false;
  }
}
