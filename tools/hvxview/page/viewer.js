// The viewer's page: fetches each new frame with its description from /frame.raw
// (waiting on the viewer for the next one), draws it on a canvas, polls /status.json
// once a second and plots the frame rate and the capture-to-display latency of the
// last minute. When the server has fault control it shows its values, and with
// control allowed offers to disconnect, stall, drop frames and reset. It counts the frames it showed and those it skipped because it was
// busy; what it shows of a frame (pixels and header fields) is always of one frame.
"use strict";
const $ = (id) => document.getElementById(id);
let lastSequence = 0, shown = 0, skipped = 0;
let latencySamples = [];             // this second's capture-to-display latencies (ms)
const history = [];                  // {rate, latency} per second, oldest first, at most 60
let image = null;

function sleep(ms) { return new Promise((done) => setTimeout(done, ms)); }

// Draws the pixels of one frame, and its header fields, in one go.
function draw(info, pixels) {
  if ((info.bytesPerPixel !== 1 && info.bytesPerPixel !== 2) ||
      pixels.length < info.width * info.height * info.bytesPerPixel) {
    throw new Error("frames of " + info.bytesPerPixel + " bytes per pixel can't be shown");
  }
  const canvas = $("frame");
  const w = info.width, h = info.height;
  if (canvas.width !== w || canvas.height !== h || image === null) {
    canvas.width = w; canvas.height = h;
    image = canvas.getContext("2d").createImageData(w, h);
  }
  const out = image.data;
  const n = w * h;
  if (info.bytesPerPixel === 1) {
    for (let i = 0; i < n; i++) {
      const v = pixels[i];
      out[4 * i] = v; out[4 * i + 1] = v; out[4 * i + 2] = v; out[4 * i + 3] = 255;
    }
  } else {
    if ($("stretch").checked) {
      let min = 65535, max = 0;
      for (let i = 0; i < n; i++) {
        const v = pixels[2 * i] | (pixels[2 * i + 1] << 8);
        if (v < min) min = v;
        if (v > max) max = v;
      }
      const scale = max > min ? 255 / (max - min) : 0;
      for (let i = 0; i < n; i++) {
        const v = Math.round(((pixels[2 * i] | (pixels[2 * i + 1] << 8)) - min) * scale);
        out[4 * i] = v; out[4 * i + 1] = v; out[4 * i + 2] = v; out[4 * i + 3] = 255;
      }
    } else {
      // The viewer's own rule (grey_depth.h) says how far to shift, as for the stream.
      const shift = info.eightBitShift;
      for (let i = 0; i < n; i++) {
        const v = Math.min(255, (pixels[2 * i] | (pixels[2 * i + 1] << 8)) >> shift);
        out[4 * i] = v; out[4 * i + 1] = v; out[4 * i + 2] = v; out[4 * i + 3] = 255;
      }
    }
  }
  canvas.getContext("2d").putImageData(image, 0, 0);
  $("stretch").disabled = !(info.bytesPerPixel === 2 && info.effectiveBitsPerPixel > 8);
  $("frameNumber").textContent = info.frameNumber;
  $("passNumber").textContent = info.passNumber;
  $("size").textContent = w + " x " + h;
  $("bits").textContent = info.bytesPerPixel + ", " + info.effectiveBitsPerPixel;
  const taken = info.timeSeconds + info.timeMicroseconds / 1e6;
  $("taken").textContent = new Date(taken * 1000).toISOString();
  $("headerSource").textContent = info.sourceName;
  const latency = Date.now() - taken * 1000;
  latencySamples.push(latency);
  $("latency").textContent = latency.toFixed(1) + " ms";
}

async function frameLoop() {
  for (;;) {
    try {
      const answer = await fetch("/frame.raw?after=" + lastSequence, { cache: "no-store" });
      if (answer.status === 204) continue;        // no newer frame within the viewer's wait
      if (!answer.ok) throw new Error("/frame.raw answered " + answer.status);
      const body = await answer.arrayBuffer();
      const length = new DataView(body).getUint32(0, true);
      const info = JSON.parse(new TextDecoder().decode(new Uint8Array(body, 4, length)));
      const pixels = new Uint8Array(body, 4 + length);
      draw(info, pixels);
      if (lastSequence !== 0 && info.sequence > lastSequence + 1) skipped += info.sequence - lastSequence - 1;
      lastSequence = info.sequence;
      shown++;
      $("shown").textContent = shown;
      $("skipped").textContent = skipped;
      $("problem").textContent = "";
    } catch (e) {
      $("problem").textContent = "frames: " + e.message;
      await sleep(1000);
    }
  }
}

function plot() {
  const canvas = $("plot"), g = canvas.getContext("2d");
  const w = canvas.width, h = canvas.height;
  g.clearRect(0, 0, w, h);
  g.strokeStyle = "#ddd";
  for (let y = 0; y <= 4; y++) { g.beginPath(); g.moveTo(0, y * h / 4); g.lineTo(w, y * h / 4); g.stroke(); }
  const series = [["rate", "#0050c0"], ["latency", "#c00000"]];
  for (const [key, colour] of series) {
    let top = 1;
    for (const p of history) top = Math.max(top, p[key]);
    top *= 1.2;
    g.strokeStyle = colour; g.fillStyle = colour; g.beginPath();
    history.forEach((p, i) => {
      const x = w - (history.length - 1 - i) * (w / 60), y = h - p[key] / top * h;
      if (i === 0) g.moveTo(x, y); else g.lineTo(x, y);
    });
    g.stroke();
    g.fillText(key + " max " + top.toFixed(1), key === "rate" ? 4 : w / 2, 12);
  }
}

// What the codes of Source/Status mean.
const sourceStates = ["reinitialisation failed", "frames coming in", "no frame for more than 2 s",
                      "the video service said stay quiet", "camera temporarily disconnected"];

// The fault control's values, or the panel hidden when the server has none.
function showFaults(f, controlAllowed) {
  $("faultPanel").hidden = !f;
  if (!f) return;
  $("faultText").textContent = f.faults;
  $("faultText").className = f.faults === "none" ? "good" : "bad";
  $("faultDisconnect").textContent = f.disconnectMs;
  $("faultStall").textContent = f.stallMs;
  $("faultDropEvery").textContent = f.dropEvery === 0 ? "off" : f.dropEvery;
  $("faultJitter").textContent = f.jitterMs === 0 ? "off" : "0 to " + f.jitterMs;
  $("faultCorruptEvery").textContent = f.corruptEvery === 0 ? "off" : f.corruptEvery;
  $("faultFrameRate").textContent = f.frameRate === 0 ? "the settings' limit" : f.frameRate + " frames/s";
  $("faultSeed").textContent = f.faultSeed;
  $("faultControls").hidden = !controlAllowed;
}

async function statusLoop() {
  for (;;) {
    try {
      const s = await (await fetch("/status.json", { cache: "no-store" })).json();
      $("server").textContent = s.server;
      $("serverStatus").textContent = s.reachable ? s.serverStatus : "not reachable: " + s.statusError;
      $("serverStatus").className = s.reachable && s.serverStatus === "Everything is fine." ? "good" : "bad";
      $("sourceName").textContent = s.sourceName;
      $("sourceStatus").textContent = s.reachable ? s.sourceStatus + " (" + (sourceStates[s.sourceStatus] || "unknown") + ")" : "?";
      $("sourceStatus").className = s.sourceStatus === 1 ? "good" : "bad";
      $("frameRate").textContent = s.frameRate.toFixed(1) + " frames/s" + (s.subscribed ? "" : " (not subscribed)");
      $("serverRate").textContent = s.sourceFrameRate.toFixed(1) + " frames/s";
      $("received").textContent = s.received;
      $("missed").textContent = s.missed;
      $("missed").className = s.missed > 0 ? "bad" : "";
      $("streams").textContent = s.streams.length === 0 ? "none" : s.streams.map((r) => r.sent + " / " + r.skipped).join(", ");
      $("restart").hidden = !s.controlAllowed;
      showFaults(s.faults, s.controlAllowed);
      const mean = latencySamples.length ? latencySamples.reduce((a, b) => a + b, 0) / latencySamples.length : 0;
      latencySamples = [];
      history.push({ rate: s.frameRate, latency: mean });
      if (history.length > 60) history.shift();
      plot();
    } catch (e) {
      $("serverStatus").textContent = "viewer not reachable";
      $("serverStatus").className = "bad";
    }
    await sleep(1000);
  }
}

// The header marks a control request as this page's own: the viewer refuses control
// requests without it (kControlHeader, request_gate.h), and a foreign page can't send it.
async function control(path, answerId) {
  $(answerId).textContent = "...";
  try {
    const answer = await fetch(path, { method: "POST", headers: { "X-HVX-Control": "1" } });
    $(answerId).textContent = await answer.text();
  } catch (e) {
    $(answerId).textContent = path + ": " + e.message;
  }
}

$("save").onclick = () => {
  const link = document.createElement("a");
  link.href = "/frame.png";
  link.download = "frame-" + $("frameNumber").textContent + ".png";
  link.click();
};
$("restart").onclick = () => control("/restart", "restartAnswer");
// The viewer checks the value; the field's text goes as it is.
const faultWrite = (route, parameter, field) => () =>
  control("/fault/" + route + "?" + parameter + "=" + encodeURIComponent($(field).value), "faultAnswer");
$("disconnect").onclick = faultWrite("disconnect", "ms", "disconnectMs");
$("stall").onclick = faultWrite("stall", "ms", "stallMs");
$("drop").onclick = faultWrite("drop", "every", "dropEvery");
$("faultReset").onclick = () => control("/fault/reset", "faultAnswer");
frameLoop();
statusLoop();
