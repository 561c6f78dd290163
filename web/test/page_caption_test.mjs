// Opens a web page made by Kelmira in headless Chromium and checks that the photograph's
// caption (when and where it was taken) shows under the title as the very lines given, as
// text: no element made from it but the line breaks, nothing run, and the page's policy
// still holding. Saves a screenshot of the page.
// Usage: node page_caption_test.mjs PAGE.html EXPECTED_TITLE EXPECTED_CAPTION SCREENSHOT.png
// (the caption's lines apart by "\n").
import { chromium } from 'playwright-core';
import { pathToFileURL } from 'node:url';
import { writeFileSync } from 'node:fs';
import assert from 'node:assert/strict';

const [page, title, caption, screenshot] = process.argv.slice(2);
const expectedLines = caption.split('\\n');
const browser = await chromium.launch({
  executablePath: process.env.KELMIRA_CHROMIUM || '/usr/bin/chromium',
  args: ['--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
         '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run',
         '--disable-quic'],
});
try {
  const tab = await browser.newPage({ viewport: { width: 800, height: 500 } });
  const dialogs = [];
  tab.on('dialog', async (dialog) => { dialogs.push(dialog.message()); await dialog.dismiss(); });
  const problems = [];
  tab.on('pageerror', (error) => problems.push(String(error)));
  const refused = [];
  tab.on('console', (message) => { if (/Content Security Policy/.test(message.text())) refused.push(message.text()); });
  await tab.goto(pathToFileURL(page).href);
  await tab.waitForFunction(() => document.querySelector('.pnlm-load-box')?.style.display === 'none' &&
                                  document.querySelector('canvas') !== null, null, { timeout: 60000 });
  await tab.waitForTimeout(300);
  const shown = await tab.evaluate(() => {
    const box = document.querySelector('.pnlm-author-box');
    const titleBox = document.querySelector('.pnlm-title-box');
    const rect = (element) => element.getBoundingClientRect();
    return {
      lines: [...box.childNodes].filter((node) => node.nodeType === Node.TEXT_NODE).map((node) => node.textContent),
      elements: [...box.children].map((element) => element.tagName),
      title: titleBox.textContent,
      visible: getComputedStyle(document.querySelector('.pnlm-panorama-info')).display !== 'none',
      below: rect(box).top >= rect(titleBox).bottom - 1,
      images: document.querySelectorAll('img').length,
    };
  });
  writeFileSync(screenshot, await tab.screenshot());
  console.log(JSON.stringify({ shown, dialogs, problems, refused }));
  assert.deepEqual(shown.lines, expectedLines, 'the caption shows as given, a line each');
  assert.ok(shown.elements.every((tag) => tag === 'BR'), 'no element made from the caption but its line breaks');
  assert.equal(shown.title, title, 'the title above it');
  assert.ok(shown.visible && shown.below, 'the caption shows under the title');
  assert.equal(shown.images, 0, 'no picture element on the page');
  assert.deepEqual(dialogs, [], 'nothing ran');
  assert.deepEqual(problems, [], 'no script errors');
  assert.deepEqual(refused, [], 'the policy refused nothing of the page\'s own');
} finally {
  await browser.close();
}
