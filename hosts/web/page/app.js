// The page of `ocuvant serve`: live picture, per-eye progress, enrollment into the
// gallery, identification against it, portrait photo, infrared face enrollment, the
// control's log lines.
import { OcuvantControl } from '/ocuvant.js';

const $ = (id) => document.getElementById(id);
const control = new OcuvantControl();
let live = true;

function state(id, text, kind) {
  const el = $(id);
  el.textContent = text;
  el.className = `state ${kind ?? ''}`;
}

function result(text, good) {
  const li = document.createElement('li');
  li.textContent = `${new Date().toLocaleTimeString()} ${text}`;
  li.className = good ? 'good' : 'bad';
  $('results').prepend(li);
}

function log(text) {
  const li = document.createElement('li');
  li.textContent = text;
  const list = $('log');
  list.append(li);
  while (list.children.length > 300) list.firstChild.remove();
  list.scrollTop = list.scrollHeight;
}

function startPicture() {
  // A fresh URL: the browser drops the old stream's connection.
  $('live').src = `/api/stream?viewer=${control.viewer}&n=${Date.now()}`;
}

async function refreshGallery() {
  const g = await control.get('/api/gallery');
  const list = $('gallery');
  list.replaceChildren();
  for (const p of g.people) {
    const li = document.createElement('li');
    const eyes = Object.entries(p.eyes).map(([k, e]) => `${k}: ${e.join(', ')}`).join('; ');
    li.textContent = `${p.label} (${eyes})`;
    list.append(li);
  }
  if (g.people.length === 0) list.innerHTML = '<li>nobody yet</li>';
}

async function action(button, run) {
  try {
    await run();
  } catch (e) {
    result(`${button}: ${e.message}`, false);
  }
}

function label() {
  return $('label').value.trim() || `person ${new Date().toISOString().slice(11, 19)}`;
}

control.on('open', () => {
  state('connection', 'connected', 'good');
  startPicture();
  refreshGallery().catch(() => {});
});
control.on('reconnecting', () => {
  state('connection', 'reconnecting…', 'bad');
  $('live').removeAttribute('src');
});
control.on('replaced', () => {
  live = false;
  state('connection', 'taken over by another tab', 'bad');
  $('live').removeAttribute('src');
});
control.on('gap', (a) => log(`(${a.lost} events were missed while away)`));
control.on('LogInfo', (a) => log(`[${a.Tag}] ${a.Log}`));
control.on('GallerySaved', (a) => {
  result(`Enrolled ${a.label} (${a.file})`, true);
  refreshGallery().catch(() => {});
});
control.on('GalleryNotSaved', (a) =>
  result(`Enrollment of ${a.label} failed (${a.error ?? `result ${a.EnrollResult}`})`, false));
control.on('GalleryIdentified', (a) => {
  if (a.label !== null) result(`Identified: ${a.label} (${a.eye} eye)`, true);
  else result(`Nobody identified (result ${a.MatchResult})`, false);
});
control.on('PhotoCaptureEvent', () => {
  const img = $('portrait');
  img.src = `/api/photo?n=${Date.now()}`;
  img.hidden = false;
  result('Portrait photo taken', true);
  control.invoke('ClosePhotoCapture').catch(() => {});
});
control.on('InitCameraEvent', (a) => log(`camera ${a.CameraKind} opened: ${a.InitResult}`));
control.on('CloseCameraEvent', (a) => log(`camera ${a.CameraKind} closed: ${a.CloseResult}`));

const modes = { 'enroll-both': 'both', 'enroll-left': 'left', 'enroll-right': 'right' };
for (const [id, eyes] of Object.entries(modes)) {
  $(id).addEventListener('click', () => action('Enroll', async () => {
    await control.post('/api/gallery/enroll', { label: label(), eyes });
    startPicture();
  }));
}
$('identify').addEventListener('click', () => action('Identify', async () => {
  await control.post('/api/gallery/identify', {});
  startPicture();
}));
$('stop').addEventListener('click', () => action('Stop', () => control.invoke('StopIris')));
$('photo').addEventListener('click', () => action('Photo', async () => {
  await control.post('/api/photo', { camera: 1 });
  startPicture();
}));
$('face').addEventListener('click', () => action('Face', async () => {
  const init = await control.invoke('InitInfraredFace');
  if (init !== 1) throw new Error(`InitInfraredFace answered ${init}`);
  startPicture();
  const run = await control.invoke('EnrollInfraredFace');
  if (run !== 1) throw new Error(`EnrollInfraredFace answered ${run}`);
  result('Infrared face enrollment started (hints in the log)', true);
}));
$('set-seed').addEventListener('click', () => action('Simulator', async () => {
  await control.post('/api/simulator', { seed: Number($('seed').value) });
  result(`Simulated person ${$('seed').value} in front of the camera`, true);
}));

control.get('/api/simulator').then((s) => {
  $('simulator').hidden = !s.simulated;
  $('seed').value = s.seed;
}).catch(() => {});

const modeWords = {
  'enroll-both': 'enrolling both eyes', 'enroll-left': 'enrolling the left eye',
  'enroll-right': 'enrolling the right eye', identify: 'identifying', idle: 'idle',
};

async function poll() {
  if (!live) return;
  try {
    const s = await control.get('/api/status');
    state('session', modeWords[s.mode] ?? s.mode, s.mode === 'idle' ? '' : 'good');
    const enrolling = s.mode.startsWith('enroll');
    for (const e of s.eyes) {
      const box = $(`eye-${e.eye}`);
      box.querySelector('.accepted').textContent = s.mode === 'idle' ? ''
        : enrolling ? (e.stepResult === 1 ? 'step done'
          : `${e.accepted}/3 images accepted (batch ${e.batch})`) : 'looking…';
      box.querySelector('.rejection').textContent = e.rejection ? `last: ${e.rejection}` : '';
    }
    $('progress').textContent = s.mode === 'idle' ? ''
      : `${enrolling ? `step ${s.step}/2, ` : ''}${s.secondsLeft} s left`;
  } catch {
    // The connection state says what is wrong.
  }
  setTimeout(poll, 300);
}
poll();
window.addEventListener('pagehide', () => control.close());
