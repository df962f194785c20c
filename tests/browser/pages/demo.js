import { OcuvantControl } from '/ocuvant.js';
const out = (t) => { document.getElementById('out').textContent += t + '\n'; };
const control = new OcuvantControl();
control.on('MatchIrisEvent', (a) => out(`match result ${a.MatchResult}`));
control.on('LogInfo', (a) => out(`[${a.Tag}] ${a.Log}`));
control.on('reconnecting', () => out('server gone; retrying'));
await control.ready;                                   // the event stream is open
out(`timeout ${await control.invoke('MatchIrisTimeout')}`);  // a property
await control.invoke('InitIris');                     // a method
