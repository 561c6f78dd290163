// Opens a web page made by kelmira-cli in headless Chromium (software WebGL) and checks
// that it shows the panorama, turns with a key and a drag, and asks nothing of the network.
// Usage: node viewer_page_test.mjs PAGE.html SCREENSHOT_FOLDER
import { chromium } from 'playwright-core';
import { pathToFileURL } from 'node:url';
import { writeFileSync } from 'node:fs';
import assert from 'node:assert/strict';

const [page, folder] = process.argv.slice(2);
const browser = await chromium.launch({
  executablePath: process.env.KELMIRA_CHROMIUM || '/usr/bin/chromium',
  args: ['--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
         '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run',
         '--disable-quic'],
});
try {
  const tab = await browser.newPage({ viewport: { width: 800, height: 500 } });
  const requests = [];
  tab.on('request', (request) => requests.push(request.url()));
  const problems = [];
  tab.on('pageerror', (error) => problems.push(String(error)));
  await tab.goto(pathToFileURL(page).href);
  // Pannellum marks its container once the panorama is on screen.
  await tab.waitForFunction(() => document.querySelector('.pnlm-load-box')?.style.display === 'none' &&
                                  document.querySelector('canvas') !== null, null, { timeout: 60000 });
  await tab.waitForTimeout(500);
  const view = async () => tab.screenshot({ clip: { x: 0, y: 0, width: 800, height: 500 } });
  const first = await view();
  writeFileSync(`${folder}/web-first.png`, first);
  const title = await tab.title();
  const yawBefore = await tab.evaluate(() => document.querySelector('.pnlm-container') !== null);
  assert.ok(yawBefore, 'the viewer is on the page');

  // A key turns the view.
  await tab.mouse.click(400, 250);
  await tab.keyboard.down('ArrowRight');
  await tab.waitForTimeout(700);
  await tab.keyboard.up('ArrowRight');
  await tab.waitForTimeout(300);
  const afterKey = await view();
  writeFileSync(`${folder}/web-after-key.png`, afterKey);
  // So does a drag.
  await tab.mouse.move(600, 250);
  await tab.mouse.down();
  for (let x = 600; x >= 200; x -= 20) await tab.mouse.move(x, 250);
  await tab.mouse.up();
  await tab.waitForTimeout(500);
  const afterDrag = await view();
  writeFileSync(`${folder}/web-after-drag.png`, afterDrag);

  const foreign = requests.filter((url) => !url.startsWith('file:') && !url.startsWith('data:') &&
                                           !url.startsWith('blob:'));
  console.log(JSON.stringify({ title, requests: requests.length, foreign, problems,
                               keyChanged: !first.equals(afterKey), dragChanged: !afterKey.equals(afterDrag) }));
  assert.deepEqual(foreign, [], 'the page asked for nothing outside itself');
  assert.deepEqual(problems, [], 'no script errors');
  assert.ok(!first.equals(afterKey), 'a key turns the view');
  assert.ok(!afterKey.equals(afterDrag), 'a drag turns the view');
} finally {
  await browser.close();
}
